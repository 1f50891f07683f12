// Builds control trees from skin XML, and the control factory that maps XML tags to control
// classes.
//
// UI thread only. The XML is UTF-8, from a string or from an entry of the skin archive. A
// "Window" root element gives its attributes to the paint manager and may hold "Font",
// "Image" and "Default" elements before the controls; any other root is built as a control.
// Each control is created by the factory (or, for a tag the factory does not know, by the
// caller's IDialogBuilderCallback), gets the manager's "Default" attributes for its tag and
// then its own attributes in document order through the virtual ApplyAttribute, then its
// children, and is then appended to its parent. A child that its parent refuses is deleted;
// an element nobody can create is skipped with its subtree. Build returns the first control
// of the top level, which the caller owns (usually by CUIPaintManager::AttachRoot), or null.
// Malformed XML builds nothing; nesting deeper than kMaxDepth stops that branch.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/core/ControlUI.h"
#include "ui/skin/SkinZip.h"

namespace pugi {
class xml_node;
}

namespace SkinUI {

class CUIPaintManager;

// Creates the controls of tags that the factory does not know, e.g. a window's own classes.
class IDialogBuilderCallback {
public:
    // Null when the tag is unknown here too.
    virtual CControlUI* CreateControl(std::wstring_view tag) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

// The part of a tree view that takes "TreeNode" children; a control that answers the
// "TreeView" facet returns this part for it.
class ITreeViewUI {
public:
    // False when the node is refused (the builder then deletes it).
    virtual bool AddNode(CControlUI* node) = 0;

protected:
    ~ITreeViewUI() = default;
};

// Tag -> control class. Process-wide; registration and creation happen on the UI thread.
// The framework's containers and basic controls are registered from the start; the
// extended controls add theirs (ui/controls/ControlTags.h).
class CUIControlFactory {
public:
    using Creator = CControlUI* (*)();

    static CUIControlFactory& Instance();

    // Adds or replaces the class of `tag` (tags compare exactly).
    void Register(std::wstring_view tag, Creator creator);
    bool IsRegistered(std::wstring_view tag) const;
    // Null for an unknown tag.
    CControlUI* Create(std::wstring_view tag) const;

private:
    CUIControlFactory();
    std::map<std::wstring, Creator, std::less<>> m_creators;
};

class CUIDialogBuilder {
public:
    static constexpr int kMaxDepth = 128;

    CControlUI* BuildFromText(std::string_view utf8Xml, CUIPaintManager* manager,
                              IDialogBuilderCallback* callback = nullptr, CControlUI* parent = nullptr);
    // Reads the named entry of the skin archive, then as BuildFromText.
    CControlUI* BuildFromSkinFile(const CSkinZip* zip, std::wstring_view fileName, CUIPaintManager* manager,
                                  IDialogBuilderCallback* callback = nullptr, CControlUI* parent = nullptr);

    // Why the last build made nothing or skipped parts; empty when all went well.
    const std::wstring& LastError() const { return m_lastError; }

private:
    void ApplyWindowElement(const pugi::xml_node& window, CUIPaintManager* manager);
    // Builds the control children of `node` under `parent`; returns the first one built,
    // or null when the TreeNode rule stopped the level.
    CControlUI* BuildChildren(const pugi::xml_node& node, CControlUI* parent, int depth);
    CControlUI* CreateFor(std::wstring_view tag);
    void ApplyAttributes(CControlUI* control, std::wstring_view tag, const pugi::xml_node& element);
    void Note(const std::wstring& problem);

    CUIPaintManager* m_manager = nullptr;
    IDialogBuilderCallback* m_callback = nullptr;
    std::wstring m_lastError;
};

}  // namespace SkinUI
