#pragma once

// Find, Find Next, Delete and Delete All over the entity editor, and the block count of the
// spawn census. The dialog calls these as the handlers of its buttons; the command-line tool
// and the tests drive them with a fixed search string.

#include <string>
#include <string_view>

#include "base/MessageSink.h"
#include "entities/EntityEditor.h"

namespace entorra {

// Where the search string comes from: the combo box (its selected list item, or its field
// when none is selected), read afresh by every command.
class ISearchStringSource {
public:
    virtual ~ISearchStringSource() = default;
    virtual std::string SearchString() const = 0;
};

class CFixedSearchString final : public ISearchStringSource {
public:
    explicit CFixedSearchString(std::string text = {}) : m_strText(std::move(text)) {}
    std::string SearchString() const override { return m_strText; }
    void Set(std::string text) { m_strText = std::move(text); }

private:
    std::string m_strText;
};

// What Delete All tells the user: "%d entities containing the string\n\"%s\"\nwere deleted.".
std::string DeleteAllMessage(int count, std::string_view searchString);

class CEntitySearch {
public:
    CEntitySearch(IEntityEditor& editor, ISearchStringSource& source, IMessageSink& sink)
        : m_editor(editor), m_source(source), m_sink(sink) {}

    // The search string into `text`, cut at a NUL byte as a text string would be; its length.
    int GetSearchString(std::string& text) const;

    // The next block from the search position that contains the search string, selected with
    // the CR LF after its "}". True when one was found; a miss changes nothing.
    bool FindFromPosition();

    void OnFind();
    void OnFindNext();
    // Deletes the selection, whatever it is, and moves the search position back by its length.
    void OnDelete();
    // Deletes every block that contains the search string, as one undoable edit; the number of
    // blocks deleted. An empty search string deletes nothing. The search position starts at 0.
    int DeleteAll();
    // DeleteAll, then the count reported when there was any (DeleteAllMessage).
    void OnDeleteAll();

    // Blocks of the editor's text that contain `className`; depends on nothing else. Leaves
    // the search position at 0, so a Find Next after showing a map starts at the top.
    int CountEntityBlocks(std::string_view className);

    int SearchPosition() const { return m_nSearchPosition; }
    // The dialog sets 0 when another map is chosen.
    void SetSearchPosition(int position) { m_nSearchPosition = position < 0 ? 0 : position; }

private:
    int DeleteAllOf(const std::string& searchString);

    IEntityEditor& m_editor;
    ISearchStringSource& m_source;
    IMessageSink& m_sink;
    int m_nSearchPosition = 0;
};

}  // namespace entorra
