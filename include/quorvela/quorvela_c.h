/**
 * @file quorvela_c.h
 * @brief The C interface of the library, for hosts written in C or in any
 * language with a C foreign-function interface.
 *
 * One handle stands for one started library. Every function checks its
 * arguments and answers an error code instead of crashing: a null, unknown
 * or closed handle, null text where text is required, and text that is not
 * well-formed UTF-8 are refused.
 *
 * Errors: every function that can fail returns a ::quorvela_status_t and, when
 * `error` is not null and the call failed, stores a newly allocated text
 * describing the failure in `*error` (null on success). Every text the library
 * hands out (errors, JSON) belongs to the caller, who frees it with
 * quorvela_free().
 *
 * Threads: every function may be called from any thread. Callbacks arrive
 * on the library's threads, or on the calling thread inside the call that
 * caused them (a log line, a registration that sends nothing, the
 * `message_received` of quorvela_mark_message() and
 * quorvela_delete_message()). Calls may overlap each other, so a host guards
 * what they touch. A callback must not call quorvela_init(), quorvela_close()
 * or quorvela_flush() (refused with ::QUORVELA_ERR_IN_CALLBACK); every other
 * function may be called from a callback. Once quorvela_close() has started,
 * every call on that handle, from callbacks too, is refused with
 * ::QUORVELA_ERR_CLOSED.
 */
#ifndef QUORVELA_QUORVELA_C_H
#define QUORVELA_QUORVELA_C_H

#include <stddef.h>
#include <stdint.h>

#include "quorvela/Export.h"

#ifdef __cplusplus
extern "C" {
#endif

/** What a call answers. */
typedef enum quorvela_status_t {
    QUORVELA_OK = 0,                   /**< done (or, for asynchronous work, started) */
    QUORVELA_ERR_INVALID_ARGUMENT = 1, /**< a null pointer, invalid UTF-8 or a value out of range */
    QUORVELA_ERR_CLOSED = 2,           /**< the handle is null, unknown or already closed */
    QUORVELA_ERR_BUSY = 3,             /**< quorvela_init() while another handle is open */
    QUORVELA_ERR_CONFIGURATION = 4,    /**< the bundle's property list is missing or lacks a credential */
    QUORVELA_ERR_NOT_FOUND = 5,        /**< no such subscribed or available workspace, or no such message */
    QUORVELA_ERR_UNSUPPORTED = 6,      /**< the chosen location or Wi-Fi source cannot take this input */
    QUORVELA_ERR_IN_CALLBACK = 7,      /**< quorvela_close() or quorvela_flush() from a callback */
    QUORVELA_ERR_TIMEOUT = 8,          /**< quorvela_flush() or quorvela_close(): work was still running */
    QUORVELA_ERR_INTERNAL = 9          /**< an unexpected failure inside the library */
} quorvela_status_t;

/** How much a log line matters, least first. */
typedef enum quorvela_log_level_t {
    QUORVELA_LOG_DEBUG = 0,
    QUORVELA_LOG_INFO = 1,
    QUORVELA_LOG_WARNING = 2,
    QUORVELA_LOG_ERROR = 3
} quorvela_log_level_t;

/** Where positions or the Wi-Fi state come from. */
typedef enum quorvela_source_t {
    /** Handed in by the host: quorvela_set_position(), quorvela_report_region(), quorvela_set_wifi(). */
    QUORVELA_SOURCE_MANUAL = 0,
    /** The platform's own services (for Wi-Fi: the machine's interfaces and network changes). */
    QUORVELA_SOURCE_PLATFORM = 1
} quorvela_source_t;

/** The background-fetch result a push's completion receives. */
typedef enum quorvela_fetch_result_t {
    QUORVELA_FETCH_NEW_DATA = 0, /**< something was fetched */
    QUORVELA_FETCH_NO_DATA = 1,  /**< nothing to do */
    QUORVELA_FETCH_FAILED = 2    /**< the work failed, or the handle was closed before it ended */
} quorvela_fetch_result_t;

/** How a registration or an unregistration ended. */
typedef enum quorvela_registration_t {
    QUORVELA_REGISTRATION_SUCCEEDED = 0, /**< the service accepted it */
    QUORVELA_REGISTRATION_UNCHANGED = 1, /**< already registered and validated: nothing was sent */
    QUORVELA_REGISTRATION_REFUSED = 2,   /**< refused before sending or by the service */
    QUORVELA_REGISTRATION_FAILED = 3     /**< no answer, or the handle was closed before it came */
} quorvela_registration_t;

/** A started library; opaque, never dereferenced by the library either. */
typedef struct quorvela_handle_t quorvela_handle_t;

/** How quorvela_init() sets up the library. Zero-initialise, then fill in. */
typedef struct quorvela_options_t {
    /** Folder holding "Quorvela-Info.plist"; null: the current folder. */
    const char* bundle_dir;
    /** Folder of the library's stores; null: the user's data folder. */
    const char* data_dir;
    /** "ADDR:PORT" every connection goes to, host name and certificate checks kept; null: none. */
    const char* connect_to;
    /** An extra CA certificate (PEM file) to trust; null: none. */
    const char* ca_file;
    /** Log lines below this level are dropped. */
    quorvela_log_level_t minimum_log_level;
    /** Where positions come from. */
    quorvela_source_t location_source;
    /** Where the Wi-Fi state and network changes come from. */
    quorvela_source_t wifi_source;
} quorvela_options_t;

/**
 * What the library tells the host. Every pointer may be null (not wanted);
 * each receives `user_data` as its first argument. Texts passed in are valid
 * only during the call. No callback of a handle runs once quorvela_close()
 * of that handle has returned.
 */
typedef struct quorvela_callbacks_t {
    /** Handed to every callback, and to the completions, as given. */
    void* user_data;
    /** The subscribed workspaces were loaded (may come before quorvela_init() returns). */
    void (*ready)(void* user_data);
    /** A workspace stored, replaced or deleted a message: the message as a JSON object, and the
     * workspace's client id (null when unknown). */
    void (*message_received)(void* user_data, const char* message_json, const char* client_id);
    /** The library started location updates and wants positions (see quorvela_set_position()); may run
     * on the library's main queue or inside the call that caused it. */
    void (*location_requested)(void* user_data);
    /** The location manager reported entry into (`entered` 1) or exit from (0) a region. */
    void (*region_event)(void* user_data, const char* region_id, int entered);
    /** The library found the Wi-Fi connection changed: the network's name, or null when disconnected. */
    void (*wifi_event)(void* user_data, const char* ssid);
    /** One log line of the library. */
    void (*log_line)(void* user_data, quorvela_log_level_t level, const char* line);
} quorvela_callbacks_t;

/** Receives a push's or a workspace request's result, exactly once. */
typedef void (*quorvela_fetch_callback_t)(void* user_data, quorvela_fetch_result_t result);
/** Receives how a registration or an unregistration ended, exactly once. */
typedef void (*quorvela_registration_callback_t)(void* user_data, quorvela_registration_t result);

/**
 * Starts the library: reads the bundle's "Quorvela-Info.plist" for the
 * credentials and starts as the C++ `Quorvela::start` does. Only one handle
 * may be open at a time: a second call before quorvela_close() fails (null,
 * and the error text says another handle is open). After quorvela_close() a
 * new call starts afresh.
 * @param options how to set up; may not be null.
 * @param callbacks copied; null: none wanted.
 * @param error receives the reason on failure (free it with quorvela_free()); may be null.
 * @return the handle, or null on failure.
 */
QUORVELA_EXPORT quorvela_handle_t* quorvela_init(const quorvela_options_t* options,
                                                 const quorvela_callbacks_t* callbacks, char** error);

/**
 * Waits up to `timeout_ms` for the work in flight, writes the stores, then
 * frees the handle, which every later call refuses with ::QUORVELA_ERR_CLOSED.
 * Completions still pending then are called with FAILED before this returns;
 * no callback of the handle runs afterwards. Calls of other threads that are
 * running when close starts are waited for; calls that start later are
 * refused.
 * @return ::QUORVELA_OK when all work finished and was stored,
 * ::QUORVELA_ERR_TIMEOUT when something was still running (the handle is freed
 * all the same; that work may still end in the library's threads, so give a
 * later quorvela_init() over the same data folder a moment, or close with a
 * longer time-out).
 */
QUORVELA_EXPORT quorvela_status_t quorvela_close(quorvela_handle_t* handle, int64_t timeout_ms, char** error);

/** Frees a text the library handed out; null is ignored. */
QUORVELA_EXPORT void quorvela_free(char* text);

/** A constant text naming `status` ("ok", "invalid argument", ...); never freed. */
QUORVELA_EXPORT const char* quorvela_status_name(quorvela_status_t status);

/** The library's version, "3.6.0"; a constant, never freed. */
QUORVELA_EXPORT const char* quorvela_version(void);

/**
 * Registers the host's user; `done` (may be null) hears how it ended, on a
 * library thread, or on the calling thread when nothing was sent.
 */
QUORVELA_EXPORT quorvela_status_t quorvela_register_user(quorvela_handle_t* handle, const char* user_id,
                                                         quorvela_registration_callback_t done, void* user_data,
                                                         char** error);
/** Unregisters the stored user; `done` as for quorvela_register_user(). */
QUORVELA_EXPORT quorvela_status_t quorvela_unregister_user(quorvela_handle_t* handle,
                                                           quorvela_registration_callback_t done, void* user_data,
                                                           char** error);
/** Stores the push token (`size` bytes, at least one) and subscribes the device when it changed. */
QUORVELA_EXPORT quorvela_status_t quorvela_set_push_token(quorvela_handle_t* handle, const uint8_t* token, size_t size,
                                                          char** error);
/**
 * Acts on a received push notification (its JSON object text). `done` (may be
 * null) receives the fetch result exactly once; fetched messages reach
 * `message_received` before it. Text that is not a JSON object is still
 * accepted and answered with NO_DATA, as the C++ facade does.
 */
QUORVELA_EXPORT quorvela_status_t quorvela_process_push(quorvela_handle_t* handle, const char* payload_json,
                                                        quorvela_fetch_callback_t done, void* user_data, char** error);
/** Sends an analytics event; `extra_info` and `campaign` may be null. */
QUORVELA_EXPORT quorvela_status_t quorvela_log_event(quorvela_handle_t* handle, const char* event_type,
                                                     const char* extra_info, const char* campaign, char** error);

/**
 * The available workspaces as a JSON array of objects ("clientId", "name",
 * "publicKey", "callbackUrl", "subscribed" as "YES"/"NO"), in order; free
 * `*json` with quorvela_free(). The list is what the service last sent; it
 * is empty until quorvela_fetch_available_workspaces() brought it.
 */
QUORVELA_EXPORT quorvela_status_t quorvela_available_workspaces(quorvela_handle_t* handle, char** json, char** error);
/** Asks the service for the available workspaces; `done` (may be null) hears the result once the list
 * was merged. */
QUORVELA_EXPORT quorvela_status_t quorvela_fetch_available_workspaces(quorvela_handle_t* handle,
                                                                      quorvela_fetch_callback_t done, void* user_data,
                                                                      char** error);
/** The subscribed workspaces, as quorvela_available_workspaces() gives them. */
QUORVELA_EXPORT quorvela_status_t quorvela_subscribed_workspaces(quorvela_handle_t* handle, char** json, char** error);
/** Joins the available workspace with this client id; `done` (may be null) hears the result. */
QUORVELA_EXPORT quorvela_status_t quorvela_join_workspace(quorvela_handle_t* handle, const char* client_id,
                                                          quorvela_fetch_callback_t done, void* user_data,
                                                          char** error);
/** Leaves the subscribed workspace with this client id; `done` (may be null) hears the result. */
QUORVELA_EXPORT quorvela_status_t quorvela_leave_workspace(quorvela_handle_t* handle, const char* client_id,
                                                           quorvela_fetch_callback_t done, void* user_data,
                                                           char** error);
/**
 * The inbox of the subscribed workspace with this client id (null: the
 * default workspace), newest first, as a JSON array of message objects.
 */
QUORVELA_EXPORT quorvela_status_t quorvela_inbox(quorvela_handle_t* handle, const char* client_id, char** json,
                                                 char** error);
/** Deletes the message with this id from the workspace's inbox (store included); `message_received`
 * hears the deletion before this returns. */
QUORVELA_EXPORT quorvela_status_t quorvela_delete_message(quorvela_handle_t* handle, const char* client_id,
                                                          const char* message_id, char** error);
/** Sets the status of the message with this id (for instance "READ"), in place and stored. */
QUORVELA_EXPORT quorvela_status_t quorvela_mark_message(quorvela_handle_t* handle, const char* client_id,
                                                        const char* message_id, const char* status, char** error);

/**
 * Hands in a position (degrees, and the horizontal accuracy in metres) for
 * the software location manager; ::QUORVELA_ERR_UNSUPPORTED when the location
 * source takes no manual positions.
 */
QUORVELA_EXPORT quorvela_status_t quorvela_set_position(quorvela_handle_t* handle, double latitude, double longitude,
                                                        double accuracy_m, char** error);
/** Reports entry into (`entered` non-zero) or exit from the geofence with this id. */
QUORVELA_EXPORT quorvela_status_t quorvela_report_region(quorvela_handle_t* handle, const char* region_id, int entered,
                                                         char** error);
/**
 * Sets the manual Wi-Fi network (`ssid` null: disconnected; `bssid` may be
 * null); ::QUORVELA_ERR_UNSUPPORTED with the platform's Wi-Fi. Takes effect at
 * the next network change.
 */
QUORVELA_EXPORT quorvela_status_t quorvela_set_wifi(quorvela_handle_t* handle, const char* ssid, const char* bssid,
                                                    char** error);
/** A network change: the library checks the Wi-Fi connection off the caller's thread. */
QUORVELA_EXPORT quorvela_status_t quorvela_notify_network_change(quorvela_handle_t* handle, char** error);
/**
 * Waits up to `timeout_ms` until no work is queued, running or in flight.
 * @return ::QUORVELA_OK when idle, ::QUORVELA_ERR_TIMEOUT otherwise.
 */
QUORVELA_EXPORT quorvela_status_t quorvela_flush(quorvela_handle_t* handle, int64_t timeout_ms, char** error);

#ifdef __cplusplus
}
#endif

#endif /* QUORVELA_QUORVELA_C_H */
