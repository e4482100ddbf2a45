#pragma once

// What the editor marks in its text: the engine lint's errors and warnings about the text as a
// save would write it, each as a range of the editor's bytes to underline and a message. The
// engine's information (such as "angle" becoming "angles", which nearly every map has) is left
// unmarked.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "entities/EngineLint.h"

namespace entorra {

struct LintMark {
    int start = 0;  // the bytes to underline, [start, end), on one line of the editor's text
    int end = 0;
    LintSeverity severity = LintSeverity::Error;  // Error or Warning
    std::string message;
    friend bool operator==(const LintMark&, const LintMark&) = default;
};

struct EditorLint {
    std::vector<LintMark> marks;  // by start
    int errors = 0;
    int warnings = 0;
};

// The editor's text in the form a save writes (LF line ends, from the first "{" to the last
// "}", one LF after it), linted for the engine, its findings carried back to the editor's
// bytes. Text a save leaves out is marked as well, since it never reaches the map. Linear in
// the length of the text.
EditorLint LintEditorText(std::string_view editorText, const EngineLintOptions& options = {});

// The editor's bytes that a finding at `offset` is about: the quoted string, the brace or the
// word that starts there, up to the end of its line; at least one byte of a non-empty text.
struct MarkedRange {
    int start = 0;
    int end = 0;
    friend bool operator==(const MarkedRange&, const MarkedRange&) = default;
};
MarkedRange MarkedRangeAt(std::string_view editorText, std::size_t offset);

// "2 errors, 1 warning", "1 error", "3 warnings"; empty when there are none.
std::string LintCountText(int errors, int warnings);

}  // namespace entorra
