#pragma once

// The names of the files a write puts beside its target before they take its place. One
// pattern for all of them, ".NAME.entorra-XXXXXX" (NAME the target's file name, X letters and
// digits), so that those a killed write left behind are known for what they are and removed by
// the next write of the same target, and no other file ever is.

#include <string>
#include <string_view>

namespace entorra {

// ".NAME.entorra-"
std::string TemporaryNamePrefix(std::string_view fileName);

// A fresh name of the pattern for fileName, random in its last six characters.
std::string NewTemporaryName(std::string_view fileName);

// Whether entryName (a name in the target's folder) is one of fileName's temporary files.
bool IsTemporaryNameOf(std::string_view entryName, std::string_view fileName);

}  // namespace entorra
