#include "UnityCallback.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "BoundaryGuard.h"
#include "VeloUnityAdapter.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

namespace {

// The callback slot, with enough bookkeeping for setUnityCallback to wait until no delivery to
// the callback it replaced is running. Deliveries are counted per phase; a registration moves
// new deliveries to the other phase and waits for the old one to drain, so deliveries that
// start meanwhile never hold it up.
std::atomic<UnityCallback> g_callback{nullptr};
std::atomic<std::uint32_t> g_phase{0};
std::atomic<std::uint32_t> g_inFlight[2] = {{0}, {0}};
std::mutex g_registration;
thread_local int t_deliveryDepth = 0;

class InFlight {
  public:
    InFlight() {
        for (;;) {
            const std::uint32_t phase = g_phase.load();
            slot_ = &g_inFlight[phase & 1];
            slot_->fetch_add(1);
            // Counted in a phase that a registration has already closed: count again.
            if (g_phase.load() == phase) {
                break;
            }
            slot_->fetch_sub(1);
        }
        ++t_deliveryDepth;
    }
    ~InFlight() {
        --t_deliveryDepth;
        slot_->fetch_sub(1);
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

  private:
    std::atomic<std::uint32_t>* slot_;
};

void StoreCallback(UnityCallback callback) {
    if (t_deliveryDepth > 0) {
        // Called from inside a callback: waiting would wait for this very delivery.
        g_callback.store(callback);
        return;
    }
    std::lock_guard<std::mutex> lock(g_registration);
    g_callback.store(callback);
    std::atomic<std::uint32_t>& closed = g_inFlight[g_phase.fetch_add(1) & 1];
    while (closed.load() != 0) {
        std::this_thread::yield();
    }
}

}  // namespace

void Dispatch(int methodNameID, const char* json) {
    InFlight delivery;
    const UnityCallback callback = g_callback.load();
    if (callback != nullptr) {
        callback(methodNameID, json);
    }
}

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

extern "C" VELO_ADAPTER_API void setUnityCallback(UnityCallback callback) {
    Corvan::Velo::Bridge::Guarded([&] { Corvan::Velo::Bridge::StoreCallback(callback); });
    setLoginObserverAdapter();
    setAccountObserverAdapter();
    setNoticeObserverAdapter();
    setWebViewObserverAdapter();
}
