/*
 * The adapter's C interface: every function a Unity game calls.
 *
 * Requests forward to one operation of the core library and return at once; their results arrive
 * later, as one compact JSON object per result, through the callback registered with
 * setUnityCallback. Texts are zero-terminated UTF-8 (any bytes pass through unchanged); a null
 * text is sent to the core as an empty one, except by the two settings functions, which pass
 * their pointers on untouched.
 *
 * No function throws, and none keeps a pointer it was given once it has returned. Functions
 * returning char* hand the caller a text it owns: release it with releaseTextAdapter. They return
 * null only when memory runs out.
 */
#ifndef VELO_UNITY_ADAPTER_H
#define VELO_UNITY_ADAPTER_H

#include <stdbool.h>

#if defined(_WIN32)
#if defined(VELO_ADAPTER_BUILD)
/* The DLL exports what its module definition file lists, made from exports.txt. */
#define VELO_ADAPTER_API
#else
#define VELO_ADAPTER_API __declspec(dllimport)
#endif
#else
#define VELO_ADAPTER_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives one result: the core's method number and the result as JSON. The text belongs to the
 * adapter and is valid only during the call; copy what you keep. Called on the core's thread. */
typedef void (*UnityCallback)(int methodNameID, const char* json);

/* --- Registration ------------------------------------------------------------------------- */

/* Stores the callback (null unregisters) and installs a new observer of each kind with the core.
 * When it returns, no delivery to the callback it replaced is running or can start, except the
 * deliveries of the calling thread itself: called from inside the callback, it waits for the
 * deliveries on other threads, not for its own. It sleeps while it waits. Two threads may call it
 * from inside their callbacks at once: each waits only for the callback its own call replaced.
 * Never call it while holding a lock that the callback takes: it waits for a delivery that waits
 * for that lock, and both threads hang for good. A delivery ends when the callback returns or an
 * exception leaves it; on Windows that includes a structured exception (an access violation, say)
 * that the game handles with __except further up the delivering thread. Elsewhere a callback left
 * by longjmp (out of a signal handler, say) stays a delivery in progress, and this waits for good.
 */
VELO_ADAPTER_API void setUnityCallback(UnityCallback callback);

/* Each installs one new observer of its kind with the core (never deleted). */
VELO_ADAPTER_API void setLoginObserverAdapter(void);   /* VeloLogin::SetLoginObserver */
VELO_ADAPTER_API void setAccountObserverAdapter(void); /* VeloAccount::SetAccountObserver */
VELO_ADAPTER_API void setNoticeObserverAdapter(void);  /* VeloNotice::SetNoticeObserver */
/* VeloWebView::SetWebViewObserver, then one line to the core's log. */
VELO_ADAPTER_API void setWebViewObserverAdapter(void);

/* --- Login: results through the login observer -------------------------------------------- */

VELO_ADAPTER_API void loginAdapter(const char* a, const char* b, const char* c,
                                   const char* d); /* VeloLogin::Login */
VELO_ADAPTER_API void autoLoginAdapter(void);      /* VeloLogin::AutoLogin */
VELO_ADAPTER_API void logoutAdapter(const char* a, const char* b, bool flag); /* Logout */
VELO_ADAPTER_API void bindAdapter(const char* a, const char* b, const char* c,
                                  const char* d); /* VeloLogin::Bind */
VELO_ADAPTER_API void canBindAdapter(const char* a, const char* b, const char* c); /* CanBind */
VELO_ADAPTER_API void loginWithConfirmcodeAdapter(int code, const char* a,
                                                  const char* b); /* LoginWithConfirmCode */
VELO_ADAPTER_API void preLoadParleyLibraryAdapter(void); /* VeloLogin::PreLoadParleyLibrary */
VELO_ADAPTER_API void setInstallChannelAdapter(const char* channel); /* SetInstallChannel */
VELO_ADAPTER_API void onRealNameAuthFinishedAdapter(const char* a, const char* b, const char* c,
                                                    bool flag); /* OnRealNameAuthFinished */
VELO_ADAPTER_API void unInstallAdapter(void);                   /* VeloLogin::UnInstall */

/* VeloLogin::GetLoginRet, written as JSON (the login members, no envelope). Caller owns the
 * text: release it with releaseTextAdapter. */
VELO_ADAPTER_API char* getLoginRetAdapter(void);

/* --- Account: results through the account observer ---------------------------------------- */

VELO_ADAPTER_API void requestVerifyCodeAdapter(const char* s1, const char* s2, int i3, int i4,
                                               const char* s5, const char* s6,
                                               const char* s7); /* RequestVerifyCode */
VELO_ADAPTER_API void resetPasswordAdapter(const char* s1, int i2, const char* s3, const char* s4,
                                           const char* s5, int i6, int i7, const char* s8,
                                           const char* s9, const char* s10); /* ResetPassword */
VELO_ADAPTER_API void modifyAdapter(const char* s1, int i2, const char* s3, int i4, int i5, int i6,
                                    const char* s7, const char* s8, int i9, const char* s10,
                                    const char* s11, const char* s12,
                                    const char* s13); /* VeloAccount::Modify */
VELO_ADAPTER_API void getRegisterStatusAdapter(const char* s1, const char* s2, int i3,
                                               const char* s4, const char* s5,
                                               const char* s6); /* GetRegisterStatus */
VELO_ADAPTER_API void getVerifyCodeStatusAdapter(const char* s1, const char* s2, int i3, int i4,
                                                 int i5, const char* s6, const char* s7,
                                                 const char* s8); /* GetVerifyCodeStatus */
VELO_ADAPTER_API void getReceiveEmailAdapter(const char* s1, const char* s2, int i3, const char* s4,
                                             const char* s5, const char* s6); /* GetReceiveEmail */
VELO_ADAPTER_API void verifyPasswordAdapter(const char* s1, const char* s2, const char* s3, int i4,
                                            const char* s5, const char* s6,
                                            const char* s7); /* VerifyPassword */

/* --- Notices: results through the notice observer ----------------------------------------- */

/* VeloNotice::LoadNoticeData; returns the core's answer. Caller owns the text: release it with
 * releaseTextAdapter. */
VELO_ADAPTER_API char* loadNoticeDataAdapter(const char* s1, const char* s2, int i3, const char* s4,
                                             const char* s5);

/* --- Web view: events through the web view observer --------------------------------------- */

VELO_ADAPTER_API void openUrlAdapter(const char* url, int i2, bool b3, bool b4, const char* s5,
                                     bool b6); /* VeloWebView::OpenUrl */
/* VeloWebView::GetEncodeUrl. Caller owns the text: release it with releaseTextAdapter. */
VELO_ADAPTER_API char* getEncodeUrlAdapter(const char* url);
VELO_ADAPTER_API void callJSAdapter(const char* script); /* VeloWebView::CallJS */
VELO_ADAPTER_API void openOxaCenterAdapter(const char* s1, const char* s2, const char* s3,
                                           const char* s4, const char* s5, const char* s6, int i7,
                                           const char* s8); /* OpenOxaCenter */
VELO_ADAPTER_API void openDeleteAccountUrlAdapter(const char* s1, int i2, bool b3,
                                                  const char* s4); /* OpenDeleteAccountUrl */
VELO_ADAPTER_API void closeAdapter(void);                          /* VeloWebView::Close */

/* --- Settings: the caller's pointers go to the core unchanged, null included --------------- */

VELO_ADAPTER_API void setLanguageAdapter(const char* language); /* VeloTools::SetLanguage */
VELO_ADAPTER_API void setRegionAdapter(const char* a, const char* b,
                                       const char* c); /* VeloTools::SetRegion */

/* --- Memory -------------------------------------------------------------------------------- */

/* Releases a text returned by getLoginRetAdapter, getEncodeUrlAdapter or loadNoticeDataAdapter,
 * with the heap that allocated it. Null is ignored. */
VELO_ADAPTER_API void releaseTextAdapter(char* text);

#ifdef __cplusplus
}
#endif

#endif /* VELO_UNITY_ADAPTER_H */
