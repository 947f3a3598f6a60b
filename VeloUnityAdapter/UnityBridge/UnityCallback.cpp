#include "UnityCallback.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#if defined(_WIN32)
#include <excpt.h>
#endif

#include "BoundaryGuard.h"
#include "SchedulePoint.h"
#include "VeloUnityAdapter.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

namespace {

// Each registration opens a phase holding the callback it stores; a delivery is counted in the
// phase that is current when it begins and calls that phase's callback. A registration closes
// the phase it replaces and sleeps until every delivery counted there has ended, except its own
// thread's (it may be called from inside the callback). Registrations wait only for the phase
// they closed, so two of them called from inside callbacks on two threads cannot wait for each
// other: the later one closed a later phase, in which the earlier one's delivery is not counted.
struct alignas(64) Phase {
    std::atomic<UnityCallback> callback{nullptr};
    std::atomic<std::uint32_t> deliveries{0};
    std::atomic<bool> awaited{false};  // closed, and a registration sleeps until it drains
};

// Phases live in a fixed pool and are never freed: a delivery that read the current phase just
// before a registration replaced it may still touch it. A phase is free when it is neither
// current nor awaited and no delivery is counted in it. Two are in use at a time unless
// registrations wait at once; a registration that finds none free sleeps until one is.
constexpr std::size_t kPhases = 16;
Phase g_phases[kPhases];

std::atomic<Phase*> g_current{&g_phases[0]};
std::mutex g_registration;  // serialises the switch of callback and phase, never held to wait
std::mutex g_waitMutex;

// Signalled when a delivery of an awaited phase ends or a phase becomes free. Made on first use
// (loading the library runs nothing) and never destroyed: deliveries may end while the process
// exits.
std::condition_variable& Drained() {
    alignas(std::condition_variable) static unsigned char storage[sizeof(std::condition_variable)];
    static std::condition_variable* const drained = new (storage) std::condition_variable();
    return *drained;
}

void WakeWaiters() {
    { std::lock_guard<std::mutex> lock(g_waitMutex); }
    Drained().notify_all();
}

// One delivery, counted in the phase that was current when it began. The deliveries running on
// a thread form a chain through `outer_`, so that a registration can tell its own apart.
class InFlight {
  public:
    // The thread's slot is looked up once: in a shared library each lookup is a call.
    InFlight() : innermost_(&t_innermost), outer_(*innermost_) {
        for (;;) {
            Phase* phase = g_current.load();
            VELO_SCHEDULE_POINT(kVeloSchedulePointDeliveryReadPhase);
            phase->deliveries.fetch_add(1);
            // A registration switched phases meanwhile: count in the new one.
            if (g_current.load() == phase) {
                phase_ = phase;
                break;
            }
            Leave(phase);
        }
        *innermost_ = this;
    }
    ~InFlight() { End(); }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

    UnityCallback callback() const { return phase_->callback.load(); }

    // Ends the delivery; once only, whether the destructor or an unwinding exception gets first.
    void End() {
        if (phase_ != nullptr) {
            *innermost_ = outer_;
            Leave(phase_);
            phase_ = nullptr;
        }
    }

    // How many deliveries of `phase` this thread is inside.
    static std::uint32_t OwnIn(const Phase* phase) {
        std::uint32_t own = 0;
        for (const InFlight* delivery = t_innermost; delivery != nullptr;
             delivery = delivery->outer_) {
            own += delivery->phase_ == phase ? 1 : 0;
        }
        return own;
    }

  private:
    static void Leave(Phase* phase) {
        phase->deliveries.fetch_sub(1);
        if (phase->awaited.load()) {
            WakeWaiters();
        }
    }

    static thread_local const InFlight* t_innermost;
    const InFlight** const innermost_;
    const InFlight* const outer_;
    Phase* phase_ = nullptr;
};

thread_local const InFlight* InFlight::t_innermost = nullptr;

// A free phase; sleeps until there is one. Called under the registration lock, which it lets go
// while it sleeps. (A phase whose last deliveries belong to a registration made from inside the
// callback frees itself without waking anyone, hence the timed sleep.)
Phase& FreePhase(std::unique_lock<std::mutex>& registration) {
    for (;;) {
        for (Phase& phase : g_phases) {
            if (&phase != g_current.load() && !phase.awaited.load() &&
                phase.deliveries.load() == 0) {
                return phase;
            }
        }
        registration.unlock();
        {
            std::unique_lock<std::mutex> lock(g_waitMutex);
            Drained().wait_for(lock, std::chrono::milliseconds(10));
        }
        registration.lock();
    }
}

void StoreCallback(UnityCallback callback) {
    Phase* closed = nullptr;
    {
        std::unique_lock<std::mutex> registration(g_registration);
        Phase& next = FreePhase(registration);
        next.callback.store(callback);
        closed = g_current.exchange(&next);
        closed->awaited.store(true);
    }
    // Every delivery to the replaced callback is counted in `closed`; the ones that begin now
    // count in the new phase and call the new callback.
    const std::uint32_t own = InFlight::OwnIn(closed);
    {
        std::unique_lock<std::mutex> lock(g_waitMutex);
        Drained().wait(lock, [&] { return closed->deliveries.load() == own; });
    }
    closed->awaited.store(false);
    WakeWaiters();  // a registration may be waiting for a free phase
}

#if defined(_WIN32)
// A structured exception (an access violation, say) that leaves the callback for a handler of the
// game's further up this thread unwinds the frames between without running their destructors
// (/EHsc): the delivery is ended as the exception passes, or every later registration would wait
// for it for good.
void Call(UnityCallback callback, int methodNameID, const char* json, InFlight& delivery) {
    __try {
        callback(methodNameID, json);
    } __finally {
        if (AbnormalTermination()) {
            delivery.End();
        }
    }
}
#else
void Call(UnityCallback callback, int methodNameID, const char* json, InFlight&) {
    callback(methodNameID, json);
}
#endif

}  // namespace

void Dispatch(int methodNameID, const char* json) {
    InFlight delivery;
    const UnityCallback callback = delivery.callback();
    if (callback != nullptr) {
        Call(callback, methodNameID, json, delivery);
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
