#include "ui/core/DialogBuilder.h"

#include <pugixml.hpp>

#include "platform/strings/StringConv.h"
#include "ui/basic/ButtonUI.h"
#include "ui/basic/CheckBoxUI.h"
#include "ui/basic/EditUI.h"
#include "ui/basic/LabelUI.h"
#include "ui/basic/OptionUI.h"
#include "ui/basic/ProgressUI.h"
#include "ui/basic/ScrollBarUI.h"
#include "ui/basic/SliderUI.h"
#include "ui/basic/TextUI.h"
#include "ui/core/AttributeText.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/HorizontalLayoutUI.h"
#include "ui/core/PaintManager.h"
#include "ui/core/TabLayoutUI.h"
#include "ui/core/VerticalLayoutUI.h"

namespace SkinUI {

namespace {

template <class T>
CControlUI* Make() {
    return new T();
}

std::wstring Wide(const char* utf8) {
    return platform::WideFromUtf8(utf8 != nullptr ? utf8 : "");
}

bool IsResourceTag(std::wstring_view tag) {
    return tag == L"Window" || tag == L"Font" || tag == L"Image" || tag == L"Default";
}

}  // namespace

CUIControlFactory::CUIControlFactory() {
    Register(L"Control", Make<CControlUI>);
    Register(L"Container", Make<CContainerUI>);
    Register(L"VerticalLayout", Make<CVerticalLayoutUI>);
    Register(L"HorizontalLayout", Make<CHorizontalLayoutUI>);
    Register(L"TabLayout", Make<CTabLayoutUI>);
    Register(L"Label", Make<CLabelUI>);
    Register(L"Text", Make<CTextUI>);
    Register(L"Button", Make<CButtonUI>);
    Register(L"Option", Make<COptionUI>);
    Register(L"CheckBox", Make<CCheckBoxUI>);
    Register(L"Progress", Make<CProgressUI>);
    Register(L"Slider", Make<CSliderUI>);
    Register(L"Edit", Make<CEditUI>);
    Register(L"ScrollBar", Make<CScrollBarUI>);
}

CUIControlFactory& CUIControlFactory::Instance() {
    static CUIControlFactory factory;
    return factory;
}

void CUIControlFactory::Register(std::wstring_view tag, Creator creator) {
    if (tag.empty() || creator == nullptr) return;
    m_creators[std::wstring(tag)] = creator;
}

bool CUIControlFactory::IsRegistered(std::wstring_view tag) const {
    return m_creators.find(tag) != m_creators.end();
}

CControlUI* CUIControlFactory::Create(std::wstring_view tag) const {
    const auto it = m_creators.find(tag);
    return it == m_creators.end() ? nullptr : it->second();
}

CControlUI* CUIDialogBuilder::BuildFromText(std::string_view utf8Xml, CUIPaintManager* manager,
                                            IDialogBuilderCallback* callback, CControlUI* parent) {
    m_lastError.clear();
    m_manager = manager;
    m_callback = callback;
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(utf8Xml.data(), utf8Xml.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        Note(L"malformed XML at byte " + std::to_wstring(parsed.offset) + L": " + Wide(parsed.description()));
        return nullptr;
    }
    const pugi::xml_node root = document.document_element();
    if (root.empty()) {
        Note(L"no root element");
        return nullptr;
    }
    if (Wide(root.name()) == L"Window") {
        ApplyWindowElement(root, manager);
        return BuildChildren(root, parent, 1);
    }
    // A fragment: the root element itself is the control. Build it as the only child of a
    // scratch node so the same rules apply.
    pugi::xml_document wrapper;
    wrapper.append_child("Fragment").append_copy(root);
    return BuildChildren(wrapper.document_element(), parent, 1);
}

CControlUI* CUIDialogBuilder::BuildFromSkinFile(const CSkinZip* zip, std::wstring_view fileName,
                                                CUIPaintManager* manager, IDialogBuilderCallback* callback,
                                                CControlUI* parent) {
    m_lastError.clear();
    if (zip == nullptr) {
        Note(L"no skin archive");
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    if (!zip->ReadEntry(fileName, &bytes)) {
        Note(L"cannot read skin file " + std::wstring(fileName));
        return nullptr;
    }
    return BuildFromText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), manager, callback,
                         parent);
}

void CUIDialogBuilder::ApplyWindowElement(const pugi::xml_node& window, CUIPaintManager* manager) {
    if (manager == nullptr) return;
    for (const pugi::xml_attribute& attribute : window.attributes()) {
        manager->ApplyWindowAttribute(Wide(attribute.name()), Wide(attribute.value()));
    }
    for (const pugi::xml_node& element : window.children()) {
        if (element.type() != pugi::node_element) continue;
        const std::wstring tag = Wide(element.name());
        if (tag == L"Default") {
            const std::wstring name = Wide(element.attribute("name").value());
            if (!name.empty()) manager->SetDefaultAttributes(name, Wide(element.attribute("value").value()));
        } else if (tag == L"Font") {
            int size = 0;
            const std::wstring face = Wide(element.attribute("name").value());
            if (!ParseInt(Wide(element.attribute("size").value()), &size) ||
                manager->AddFont(face, size, ParseBool(Wide(element.attribute("bold").value())),
                                 ParseBool(Wide(element.attribute("underline").value())),
                                 ParseBool(Wide(element.attribute("italic").value())),
                                 ParseBool(Wide(element.attribute("default").value()))) < 0) {
                Note(L"font " + face + L" could not be made");
            }
        } else if (tag == L"Image") {
            const std::wstring name = Wide(element.attribute("name").value());
            DWORD mask = 0;
            const pugi::xml_attribute maskAttribute = element.attribute("mask");
            if (!maskAttribute.empty() && !ParseColor(Wide(maskAttribute.value()), &mask)) {
                Note(L"image " + name + L" has a bad mask colour");
            }
            if (manager->AddImage(name, mask) == nullptr) Note(L"image " + name + L" could not be loaded");
        }
    }
}

CControlUI* CUIDialogBuilder::CreateFor(std::wstring_view tag) {
    if (CControlUI* control = CUIControlFactory::Instance().Create(tag)) return control;
    if (m_callback != nullptr) return m_callback->CreateControl(tag);
    return nullptr;
}

void CUIDialogBuilder::ApplyAttributes(CControlUI* control, std::wstring_view tag, const pugi::xml_node& element) {
    if (m_manager != nullptr) {
        if (const CUIString* defaults = m_manager->DefaultAttributesFor(tag)) {
            if (!control->ApplyAttributeText(defaults->View())) {
                Note(L"malformed \"Default\" attributes for " + std::wstring(tag));
            }
        }
    }
    for (const pugi::xml_attribute& attribute : element.attributes()) {
        control->ApplyAttribute(Wide(attribute.name()), Wide(attribute.value()));
    }
}

CControlUI* CUIDialogBuilder::BuildChildren(const pugi::xml_node& node, CControlUI* parent, int depth) {
    if (depth > kMaxDepth) {
        Note(L"skin nested too deeply; the deepest elements were skipped");
        return nullptr;
    }
    CControlUI* first = nullptr;
    for (const pugi::xml_node& element : node.children()) {
        if (element.type() != pugi::node_element) continue;
        const std::wstring tag = Wide(element.name());
        if (IsResourceTag(tag)) continue;
        CControlUI* control = CreateFor(tag);
        if (control == nullptr) {
            Note(L"unknown tag " + tag);
            continue;
        }
        // Attributes may need the manager's resources (fonts, defaults) before the control is
        // placed in the tree.
        control->AttachManager(m_manager, nullptr, false);

        if (tag == L"TreeNode" && parent != nullptr) {
            if (parent->QueryFacet(L"TreeNode") != nullptr) {
                // A node joins its parent node first: the parent's bookkeeping (depth,
                // indentation) must be in place when the child's own children arrive.
                auto* container = static_cast<IContainerUI*>(parent->QueryFacet(L"IContainer"));
                if (container == nullptr || !container->AppendChild(control)) {
                    delete control;
                    continue;
                }
                ApplyAttributes(control, tag, element);
                BuildChildren(element, control, depth + 1);
            } else if (auto* treeView = static_cast<ITreeViewUI*>(parent->QueryFacet(L"TreeView"))) {
                ApplyAttributes(control, tag, element);
                BuildChildren(element, control, depth + 1);
                if (!treeView->AddNode(control)) {
                    delete control;
                    continue;
                }
            } else {
                delete control;
                Note(L"a TreeNode outside a tree stopped its parent's children");
                return nullptr;
            }
            if (first == nullptr) first = control;
            continue;
        }

        ApplyAttributes(control, tag, element);
        if (control->QueryFacet(L"IContainer") != nullptr) BuildChildren(element, control, depth + 1);

        if (parent != nullptr) {
            auto* container = static_cast<IContainerUI*>(parent->QueryFacet(L"IContainer"));
            if (container == nullptr || !container->AppendChild(control)) {
                delete control;
                Note(L"a " + tag + L" was refused by its parent");
                continue;
            }
        } else if (first != nullptr) {
            // Only one control can be the result; a second top-level control has no owner.
            delete control;
            Note(L"more than one top-level control; the extra ones were dropped");
            continue;
        }
        if (first == nullptr) first = control;
    }
    return first;
}

void CUIDialogBuilder::Note(const std::wstring& problem) {
    if (!m_lastError.empty()) m_lastError += L"; ";
    m_lastError += problem;
}

}  // namespace SkinUI
