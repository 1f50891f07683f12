#include "platform/com/OleEmbedding.h"

HRESULT OleLockRunning(IUnknown* object, BOOL /*lock*/, BOOL /*lastUnlockCloses*/) {
    return object != nullptr ? S_OK : E_INVALIDARG;
}
