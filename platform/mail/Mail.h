/*
** The mail layer: sends one plain-text message through the sendmail interface, which every
** mail transfer agent on Linux offers (`sendmail -oi -- recipient`, the message on its
** standard input). Plain C, so the engine can load the library by name and resolve each
** entry point with dlsym, as it once bound its mail system.
**
** The program is /usr/sbin/sendmail, or the one the environment variable OVEX_SENDMAIL
** names. Without it the mail method is not available.
**
** Texts are UTF-8. GMime composes the message: From is the sender's name as the display name
** of the local account's address, names and subjects are quoted or RFC 2047 encoded as they
** need, and never carry a line break (a CR or LF becomes a blank, so no header can be slipped
** in); the body is UTF-8 plain text, quoted-printable unless every line is short ASCII, so
** every line stays under 78 characters and the body decodes to exactly what was given.
*/
#ifndef OVEX_PLATFORM_MAIL_H
#define OVEX_PLATFORM_MAIL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OVEX_MAIL_API __attribute__((visibility("default")))

#define OVEX_MAIL_LIBRARY_NAME "libovex-mail.so.1"
#define OVEX_MAIL_API_VERSION 1

/* Results, numbered as the callers' mail system numbered them. */
#define OVEX_MAIL_SUCCESS 0
#define OVEX_MAIL_USER_ABORT 1
#define OVEX_MAIL_E_FAILURE 2
#define OVEX_MAIL_E_LOGIN_FAILURE 3
#define OVEX_MAIL_E_UNKNOWN_RECIPIENT 14
#define OVEX_MAIL_E_BAD_RECIPTYPE 15
#define OVEX_MAIL_E_INVALID_RECIPS 25

/* How long the program may take before it is stopped and the send fails. */
#define OVEX_MAIL_TIMEOUT_MS 60000

typedef struct OvexMailMessage {
    const char* senderName; /* the display name of the From address; may be empty */
    const char* recipient;  /* one address: the To header and the program's argument */
    const char* subject;
    const char* body; /* UTF-8 bytes, `bodyLength` of them */
    size_t bodyLength;
} OvexMailMessage;

typedef int (*ovex_mail_api_version_fn)(void);
typedef int (*ovex_mail_is_available_fn)(void);
typedef int (*ovex_mail_send_fn)(const OvexMailMessage* message);
typedef const char* (*ovex_mail_last_error_text_fn)(void);

/* ---- Entry points, in the order a loader resolves them ---- */

/* OVEX_MAIL_API_VERSION of the loaded library. */
OVEX_MAIL_API int ovex_mail_api_version(void);

/* 1 when the sendmail program exists and may be run, else 0. */
OVEX_MAIL_API int ovex_mail_is_available(void);

/* Sends the message and waits for the program. OVEX_MAIL_SUCCESS when it took the message
** (exit 0); OVEX_MAIL_E_UNKNOWN_RECIPIENT for exit 67; OVEX_MAIL_E_INVALID_RECIPS for a
** recipient that is empty or holds a control character; OVEX_MAIL_E_FAILURE for everything
** else (no program, a temporary failure such as exit 75, a crash or a time-out). */
OVEX_MAIL_API int ovex_mail_send(const OvexMailMessage* message);

/* What went wrong in the last send, in English; empty after a success. The text stays
** valid until the next send. */
OVEX_MAIL_API const char* ovex_mail_last_error_text(void);

#ifdef __cplusplus
}
#endif

#endif
