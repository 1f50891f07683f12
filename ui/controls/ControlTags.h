// The skin tags of the extended controls ("RichEdit", "List", "TreeView", "WebBrowser" and
// the others), registered with the skin builder's control factory.
//
// The framework below knows none of these controls: a program registers them before it
// builds a skin that uses them. The skinned window base does so before it builds its first
// skin, so every window of a program has them; code that drives the builder by itself (a
// tool, a test) calls RegisterControlTags first. UI thread; calling it again changes nothing.
#pragma once

namespace SkinUI {

void RegisterControlTags();

}  // namespace SkinUI
