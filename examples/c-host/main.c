/* A host application in C: registers a user, processes a push and prints the
   inbox, against the service or a seeded sandbox:
     c-host BUNDLE_DIR DATA_DIR [--connect-to ADDR:PORT] [--cacert FILE]
   Exits 0 when the push brought the message into the inbox. */
#include <quorvela/quorvela_c.h>
#include <stdatomic.h>
#include <stdio.h>
#include <string.h>

/* The callbacks run on the library's threads: what they share with main is
   atomic. */
typedef struct host_state {
    atomic_int ready;
    atomic_int registration; /* -1 until the registration ended */
    atomic_int fetch;        /* -1 until the push's work ended */
} host_state;

static void on_ready(void* user_data) { atomic_store(&((host_state*)user_data)->ready, 1); }

static void on_message(void* user_data, const char* message_json, const char* client_id) {
    (void)user_data;
    printf("message in %s: %s\n", client_id ? client_id : "(none)", message_json);
}

static void on_log(void* user_data, quorvela_log_level_t level, const char* line) {
    (void)user_data;
    if (level >= QUORVELA_LOG_WARNING) fprintf(stderr, "%s\n", line);
}

static void on_registered(void* user_data, quorvela_registration_t result) {
    atomic_store(&((host_state*)user_data)->registration, (int)result);
}

static void on_fetched(void* user_data, quorvela_fetch_result_t result) {
    atomic_store(&((host_state*)user_data)->fetch, (int)result);
}

/* Prints a failed call's reason and frees it; 1 when the call failed. */
static int failed(const char* what, quorvela_status_t status, char* error) {
    if (status == QUORVELA_OK) return 0;
    fprintf(stderr, "%s: %s (%s)\n", what, quorvela_status_name(status), error ? error : "");
    quorvela_free(error);
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        fprintf(stderr, "usage: c-host BUNDLE_DIR DATA_DIR [--connect-to ADDR:PORT] [--cacert FILE]\n");
        return 2;
    }
    quorvela_options_t options = {0};
    options.bundle_dir = argv[1];
    options.data_dir = argv[2];
    options.minimum_log_level = QUORVELA_LOG_WARNING;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--connect-to") == 0) options.connect_to = argv[i + 1];
        else if (strcmp(argv[i], "--cacert") == 0) options.ca_file = argv[i + 1];
        else return 2;
    }
    host_state state;
    atomic_init(&state.ready, 0);
    atomic_init(&state.registration, -1);
    atomic_init(&state.fetch, -1);
    quorvela_callbacks_t callbacks = {0};
    callbacks.user_data = &state;
    callbacks.ready = on_ready;
    callbacks.message_received = on_message;
    callbacks.log_line = on_log;

    char* error = NULL;
    quorvela_handle_t* library = quorvela_init(&options, &callbacks, &error);
    if (!library) return failed("init", QUORVELA_ERR_CONFIGURATION, error) + 1;

    int problems = failed("register", quorvela_register_user(library, "walker", on_registered, &state, &error), error);
    const uint8_t token[] = {0xde, 0xad, 0xbe, 0xef};
    problems += failed("push token", quorvela_set_push_token(library, token, sizeof token, &error), error);
    /* Flushing waits for the registration and the start-up it sets off. */
    problems += failed("flush", quorvela_flush(library, 30000, &error), error);
    printf("registered: %d, ready: %d\n", atomic_load(&state.registration), atomic_load(&state.ready));

    const char* push = "{\"msgId\": \"w-1\", \"type\": \"TXT_MSG\", \"clientId\": \"walk-main\"}";
    problems += failed("push", quorvela_process_push(library, push, on_fetched, &state, &error), error);
    problems += failed("flush", quorvela_flush(library, 30000, &error), error);
    printf("push: %s\n", atomic_load(&state.fetch) == QUORVELA_FETCH_NEW_DATA ? "new data" : "no new data");

    char* inbox = NULL;
    problems += failed("inbox", quorvela_inbox(library, NULL, &inbox, &error), error);
    printf("inbox: %s\n", inbox ? inbox : "(none)");
    const int found = inbox && strstr(inbox, "\"id\":\"w-1\"") != NULL;
    quorvela_free(inbox);

    problems += failed("close", quorvela_close(library, 30000, &error), error);
    return problems == 0 && found && atomic_load(&state.ready) ? 0 : 1;
}
