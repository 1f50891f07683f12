#include "platform/entry/WideArgs.h"

#include "platform/strings/StringConv.h"

namespace platform {

WideArgs::WideArgs(int argc, const char* const* argv) {
    // A null entry ends the vector early, as it would for exec.
    for (int i = 0; i < argc && argv && argv[i]; ++i)
        m_args.push_back(WideFromUtf8(argv[i]));
    m_pointers.reserve(m_args.size() + 1);
    for (auto& arg : m_args)
        m_pointers.push_back(arg.data());
    m_pointers.push_back(nullptr);
}

}  // namespace platform
