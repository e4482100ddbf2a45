#include "cli/MapWrite.h"

#include <optional>

#include "base/Format.h"
#include "bsp/FileText.h"
#include "bsp/MapInfo.h"
#include "bsp/MapLayout.h"
#include "cli/Backup.h"
#include "cli/Json.h"

namespace entorra::cli {
namespace {

Json ChecksumJson(const std::optional<std::uint32_t>& checksum) {
    return checksum ? Json(ChecksumText(*checksum)) : Json(nullptr);
}

std::string ChecksumLine(const std::optional<std::uint32_t>& checksum) {
    return checksum ? ChecksumText(*checksum) : std::string("unavailable");
}

}  // namespace

void WriteMap(const CommandContext& context, CBspFile& file, const std::string& map,
              std::string editorText, const WriteOptions& options, CMapReport& report) {
    const MapVariant variant = file.Variant();
    const std::optional<std::uint32_t> before = MapChecksum(file.Image(), variant);
    const std::optional<std::uint32_t> otherBefore = ChecksumSkipping(file.Image(), 0);
    const std::size_t bytesBefore = file.EntityTextLength();
    std::optional<std::uint32_t> after;
    std::optional<std::uint32_t> otherAfter;
    std::string done;
    Json backupJson = nullptr;

    if (options.dryRun) {
        // The file the save would write, built in memory: its checksum, and whether the
        // save would refuse the map.
        PrepareFileText(editorText);
        try {
            const std::vector<std::uint8_t> saved =
                BuildSavedImage(file.Image(), variant, file.EntityTextLength(), editorText);
            after = MapChecksum(saved, variant);
            otherAfter = ChecksumSkipping(saved, 0);
        } catch (const CLayoutRefusal& refusal) {
            report.Fail(Format("Error saving the file: %s.", FileNameOfPath(map).c_str()) + "\n" +
                        refusal.what());
            return;
        }
        done = "dry run, nothing written";
    } else {
        if (options.backup) {
            try {
                const BackupResult result = MakeBackup(context.fileSystem, map, file.Image());
                const std::string backup = BackupPathFor(map);
                backupJson = JsonText(backup);
                done = result == BackupResult::Created ? "backup " + backup + ", "
                                                       : "backup " + backup + " kept as it was, ";
                report.figures["backupCreated"] = result == BackupResult::Created;
            } catch (const CFileError& error) {
                report.Fail(Format("Error writing the backup: %s.\n%s", BackupPathFor(map).c_str(),
                                   error.what()) +
                            "\nThe map was not changed.");
                return;
            }
        }
        if (file.Save(map, editorText) != 0) {
            report.Fail();
            return;
        }
        after = MapChecksum(file.Image(), variant);
        otherAfter = ChecksumSkipping(file.Image(), 0);
        done += "saved";
    }

    report.figures["checksumBefore"] = ChecksumJson(before);
    report.figures["checksumAfter"] = ChecksumJson(after);
    report.figures["checksumSkippingEntry0Before"] = ChecksumJson(otherBefore);
    report.figures["checksumSkippingEntry0After"] = ChecksumJson(otherAfter);
    report.figures["entityBytesBefore"] = bytesBefore;
    report.figures["entityBytesAfter"] = editorText.size();
    report.figures["written"] = !options.dryRun;
    report.figures["backup"] = backupJson;
    report.text += Format("  checksum %s -> %s, entity text %zu -> %zu bytes, %s\n",
                          ChecksumLine(before).c_str(), ChecksumLine(after).c_str(), bytesBefore,
                          editorText.size(), done.c_str());
    if (otherBefore != otherAfter) {
        // A Blue Shift map: its entity lump is in entry 1, which these engines take in.
        report.text += Format(
            "  the checksum of engines that always skip entry 0 changes: %s -> %s; their clients "
            "need the new map\n",
            ChecksumLine(otherBefore).c_str(), ChecksumLine(otherAfter).c_str());
    }
    if (before != after) {
        // The save keeps every other lump as it was; a change here is a fault to be seen.
        report.Fail(Format("The map checksum of %s changed from %s to %s.", map.c_str(),
                           ChecksumLine(before).c_str(), ChecksumLine(after).c_str()));
    }
}

}  // namespace entorra::cli
