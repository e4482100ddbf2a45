// The real maps beside the project, when they are there: the census, Delete All and the round
// trip on entity texts that nobody wrote for these tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bsp/BspFile.h"
#include "entities/EntitySearch.h"
#include "entities/EntityText.h"
#include "entities/MemoryEditor.h"
#include "tests/entities/EntityModel.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CRecordingSink;

TEST(SharedMaps, CensusAndDeleteAllAgreeWithTheModelAndTheFormSurvivesASave) {
    const auto maps = testing::SharedMaps();
    if (maps.empty()) {
        GTEST_SKIP() << "no shared maps beside the project";
    }
    testing::CTempDir dir;
    for (const auto& map : maps) {
        SCOPED_TRACE(map.filename().string());
        CRecordingSink sink;
        CBspFile file(sink);
        if (file.Load(map.string()) != 0) {
            continue;  // not every sample is a map this tool takes
        }
        const std::string shown =
            MakeEditorText(std::string_view(file.GetEntityText(), file.EntityTextLength()));

        CMemoryEditor editor(shown);
        CFixedSearchString source;
        CEntitySearch search(editor, source, sink);
        for (const char* className :
             {"info_vip_start", "info_player_start", "info_player_deathmatch", "light"}) {
            testing::ModelDialog model = testing::ModelOf(shown);
            EXPECT_EQ(search.CountEntityBlocks(className), model.Count(className)) << className;

            source.Set(className);
            editor.SetText(shown);
            model.DeleteAll(className);
            search.OnDeleteAll();
            EXPECT_EQ(editor.GetText(), model.text) << className;
            EXPECT_EQ(search.SearchPosition(), model.position) << className;
        }

        // A copy in a temporary folder takes the save.
        const std::string copy = dir.File(map.filename().string());
        std::filesystem::copy_file(map, copy, std::filesystem::copy_options::overwrite_existing);
        // Real maps are read-only; a copy the user saves is writable.
        std::filesystem::permissions(copy, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        CBspFile target(sink);
        ASSERT_EQ(target.Load(copy), 0);
        std::string text = editor.GetText();
        ASSERT_EQ(target.Save(copy, text), 0) << sink.Last();
        CBspFile again(sink);
        ASSERT_EQ(again.Load(copy), 0);
        const std::string reshown =
            MakeEditorText(std::string_view(again.GetEntityText(), again.EntityTextLength()));
        if (!editor.GetText().empty() && editor.GetText().front() == '{' &&
            editor.GetText().find("\r\r\n") == std::string::npos) {
            EXPECT_EQ(reshown, editor.GetText());
        }
    }
}

}  // namespace
}  // namespace entorra
