#include "app/LintMarks.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace entorra {
namespace {

constexpr const char* kLeftOut =
    "Save leaves this out: the map keeps only the text from the first \"{\" to the last \"}\"";

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool IsSingleToken(char c) {
    return std::strchr("{}()',:", c) != nullptr && c != '\0';
}

// The editor's text as a save writes it (bsp/FileText PrepareFileText), with what it takes to
// carry offsets back: where the kept span starts, and where each CR it drops stood.
struct FileForm {
    std::string text;
    std::size_t spanStart = 0;
    std::size_t spanEnd = 0;
    std::vector<std::uint32_t> droppedCrs;  // offsets in `text` of the LF each dropped CR preceded
};

FileForm MakeFileForm(std::string_view editorText) {
    FileForm form;
    const std::size_t lastBrace = editorText.rfind('}');
    if (lastBrace != std::string_view::npos) {
        form.spanEnd = lastBrace + 1;
        const std::size_t firstBrace = editorText.substr(0, form.spanEnd).find('{');
        form.spanStart = firstBrace == std::string_view::npos ? 0 : firstBrace;
    }
    const std::string_view span = editorText.substr(form.spanStart, form.spanEnd - form.spanStart);
    // Copied eight bytes at a time up to each CR, which ends nearly every line: the lines are
    // short, and a call to find and a call to copy each were most of the time this takes.
    form.text.resize(span.size() + 1);
    char* out = form.text.data();
    const char* from = span.data();
    const char* const last = from + span.size();
    while (from < last) {
        if constexpr (std::endian::native == std::endian::little) {
            while (last - from >= 8) {
                std::uint64_t word;
                std::memcpy(&word, from, 8);
                // A byte of 0x80 where the word holds a CR; the lowest one is exact.
                const std::uint64_t x = word ^ 0x0d0d0d0d0d0d0d0dULL;
                const std::uint64_t crs = (x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL;
                // `out` never passes `from`, so eight bytes always fit.
                std::memcpy(out, &word, 8);
                if (crs != 0) {
                    const auto before = static_cast<std::size_t>(std::countr_zero(crs) / 8);
                    out += before;
                    from += before;
                    break;
                }
                out += 8;
                from += 8;
            }
        }
        while (from < last && *from != '\r') {
            *out++ = *from++;
        }
        if (from == last) {
            break;
        }
        if (from + 1 < last && from[1] == '\n') {
            form.droppedCrs.push_back(static_cast<std::uint32_t>(out - form.text.data()));
        } else {
            *out++ = '\r';  // a lone CR stays
        }
        ++from;
    }
    *out++ = '\n';
    form.text.resize(static_cast<std::size_t>(out - form.text.data()));
    return form;
}

// The first byte of text[from, to) that is not whitespace to the engine, or `to`.
std::size_t FirstVisible(std::string_view text, std::size_t from, std::size_t to) {
    while (from < to && static_cast<unsigned char>(text[from]) <= ' ') {
        ++from;
    }
    return from;
}

}  // namespace

MarkedRange MarkedRangeAt(std::string_view text, std::size_t offset) {
    const std::size_t size = text.size();
    if (size == 0) {
        return {};
    }
    std::size_t at = std::min(offset, size);
    if (at == size || IsLineEnd(text[at])) {
        // At the end of a line: the byte before it, when the line has one.
        const std::size_t start =
            at > 0 && !IsLineEnd(text[at - 1]) ? at - 1 : std::min(at, size - 1);
        return {static_cast<int>(start), static_cast<int>(start + 1)};
    }
    // From whitespace on to what follows on the line, if anything does.
    std::size_t first = at;
    while (first < size && !IsLineEnd(text[first]) &&
           static_cast<unsigned char>(text[first]) <= ' ') {
        ++first;
    }
    if (first < size && !IsLineEnd(text[first])) {
        at = first;
    }
    std::size_t lineEnd = at;
    while (lineEnd < size && !IsLineEnd(text[lineEnd])) {
        ++lineEnd;
    }
    std::size_t end = at + 1;
    const char c = text[at];
    if (c == '"') {
        while (end < lineEnd && text[end] != '"') {
            ++end;
        }
        end = std::min(end + 1, lineEnd);
    } else if (!IsSingleToken(c)) {
        while (end<lineEnd&& static_cast<unsigned char>(text[end])> ' ' && text[end] != '"' &&
               !IsSingleToken(text[end])) {
            ++end;
        }
    }
    return {static_cast<int>(at), static_cast<int>(end)};
}

EditorLint LintEditorText(std::string_view editorText, const EngineLintOptions& options) {
    const FileForm form = MakeFileForm(editorText);
    const std::vector<EngineFinding> findings = LintForEngine(form.text, options);

    EditorLint lint;
    const auto add = [&](std::size_t offset, LintSeverity severity, std::string message) {
        const MarkedRange range = MarkedRangeAt(editorText, offset);
        lint.marks.push_back({range.start, range.end, severity, std::move(message)});
        (severity == LintSeverity::Error ? lint.errors : lint.warnings) += 1;
    };
    const std::size_t before = FirstVisible(editorText, 0, form.spanStart);
    if (before < form.spanStart) {
        add(before, LintSeverity::Warning, kLeftOut);
    }
    // Findings come by offset, so the dropped CRs before each are counted in one walk.
    std::size_t crs = 0;
    for (const EngineFinding& finding : findings) {
        if (finding.severity == LintSeverity::Information) {
            continue;
        }
        while (crs < form.droppedCrs.size() && form.droppedCrs[crs] <= finding.offset) {
            ++crs;
        }
        const std::size_t offset = std::min(form.spanStart + finding.offset + crs, form.spanEnd);
        add(offset, finding.severity, finding.message);
    }
    const std::size_t after = FirstVisible(editorText, form.spanEnd, editorText.size());
    if (after < editorText.size()) {
        add(after, LintSeverity::Warning, kLeftOut);
    }
    std::stable_sort(lint.marks.begin(), lint.marks.end(),
                     [](const LintMark& a, const LintMark& b) { return a.start < b.start; });
    return lint;
}

std::string LintCountText(int errors, int warnings) {
    const auto count = [](int n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text;
    if (errors > 0) {
        text = count(errors, "error", "errors");
    }
    if (warnings > 0) {
        text += (text.empty() ? "" : ", ") + count(warnings, "warning", "warnings");
    }
    return text;
}

}  // namespace entorra
