#pragma once

// The entity text read the way an engine reads it: its tokeniser, its block parser and its
// limits (entities/EngineLimits.h). Each finding says what the engine would do there: an error
// when it refuses the map or crashes, a warning when it silently changes or drops something,
// information when it changes something as designed.
//
// One call over the whole text, linear in its length, so the dialog can run it again after a
// pause in typing; findings carry byte offsets for the editor and line and column for people.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entities/EngineLimits.h"
#include "entities/EntityLint.h"

namespace entorra {

// The code page the map's text was written in; bytes that are no character in it are
// warnings, since engines, fonts and tools read them differently.
enum class CodePage { None, Utf8, Windows1250, Windows1251, Windows1252 };

// "none", "utf-8", "1250", "1251", "1252" (also "windows-1252" and so on).
std::optional<CodePage> CodePageNamed(std::string_view name);

struct EngineLintOptions {
    EngineProfile engine = EngineProfile::GoldSrc;
    int players = 32;  // player slots (maxplayers) the map runs with
    int edicts = 0;    // the base edict figure when the game sets its own; 0: the engine's
    CodePage codePage = CodePage::Windows1252;
};

struct EngineFinding {
    std::size_t offset = 0;  // byte offset in the text
    int line = 0;            // 1-based; lines end at LF
    int column = 0;          // 1-based, in bytes
    LintSeverity severity = LintSeverity::Error;
    std::string message;
    friend bool operator==(const EngineFinding&, const EngineFinding&) = default;
};

// Findings in the order of their offsets. The text ends at its end or at its first NUL byte,
// as the engines read it.
std::vector<EngineFinding> LintForEngine(std::string_view text,
                                         const EngineLintOptions& options = {});

}  // namespace entorra
