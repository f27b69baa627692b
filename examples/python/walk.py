#!/usr/bin/python3
"""A host application in Python through ctypes (standard library only):
registers a user, processes a push and prints the inbox.

    walk.py LIBQUORVELA_SO BUNDLE_DIR DATA_DIR [--connect-to ADDR:PORT] [--cacert FILE]

Exits 0 when the push brought the message into the inbox.
"""
import ctypes
import json
import sys
import threading

OK = 0
FETCH_NEW_DATA = 0
LOG_WARNING = 2


class Options(ctypes.Structure):
    _fields_ = [("bundle_dir", ctypes.c_char_p), ("data_dir", ctypes.c_char_p),
                ("connect_to", ctypes.c_char_p), ("ca_file", ctypes.c_char_p),
                ("minimum_log_level", ctypes.c_int), ("location_source", ctypes.c_int),
                ("wifi_source", ctypes.c_int)]


READY = ctypes.CFUNCTYPE(None, ctypes.c_void_p)
MESSAGE = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p)
LOCATION = ctypes.CFUNCTYPE(None, ctypes.c_void_p)
REGION = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int)
WIFI = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p)
LOG = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int, ctypes.c_char_p)
RESULT = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int)


class Callbacks(ctypes.Structure):
    _fields_ = [("user_data", ctypes.c_void_p), ("ready", READY), ("message_received", MESSAGE),
                ("location_requested", LOCATION), ("region_event", REGION), ("wifi_event", WIFI),
                ("log_line", LOG)]


def load(path):
    lib = ctypes.CDLL(path)
    # Texts the library hands out are read as void pointers, so that they can
    # be given back to quorvela_free.
    out = ctypes.POINTER(ctypes.c_void_p)
    lib.quorvela_init.restype = ctypes.c_void_p
    lib.quorvela_init.argtypes = [ctypes.POINTER(Options), ctypes.POINTER(Callbacks), out]
    lib.quorvela_free.argtypes = [ctypes.c_void_p]
    lib.quorvela_status_name.restype = ctypes.c_char_p
    lib.quorvela_status_name.argtypes = [ctypes.c_int]
    for name, args in {
        "quorvela_close": [ctypes.c_void_p, ctypes.c_int64, out],
        "quorvela_register_user": [ctypes.c_void_p, ctypes.c_char_p, RESULT, ctypes.c_void_p, out],
        "quorvela_set_push_token": [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t, out],
        "quorvela_process_push": [ctypes.c_void_p, ctypes.c_char_p, RESULT, ctypes.c_void_p, out],
        "quorvela_inbox": [ctypes.c_void_p, ctypes.c_char_p, out, out],
        "quorvela_flush": [ctypes.c_void_p, ctypes.c_int64, out],
    }.items():
        getattr(lib, name).restype = ctypes.c_int
        getattr(lib, name).argtypes = args
    return lib


def take_text(lib, pointer):
    """The library's text as a str; frees it."""
    if not pointer.value:
        return None
    text = ctypes.string_at(pointer.value).decode("utf-8")
    lib.quorvela_free(pointer.value)
    pointer.value = None
    return text


def main(argv):
    if len(argv) < 4 or len(argv) % 2:
        print(__doc__, file=sys.stderr)
        return 2
    lib = load(argv[1])
    options = Options(bundle_dir=argv[2].encode(), data_dir=argv[3].encode(), minimum_log_level=LOG_WARNING)
    flags = dict(zip(argv[4::2], argv[5::2]))
    if "--connect-to" in flags:
        options.connect_to = flags["--connect-to"].encode()
    if "--cacert" in flags:
        options.ca_file = flags["--cacert"].encode()

    # The callbacks run on the library's threads.
    ready = threading.Event()
    outcome = {}

    def on_message(_, message, client_id):
        print("message in %s: %s" % ((client_id or b"(none)").decode(), message.decode()), flush=True)

    def on_log(_, level, line):
        if level >= LOG_WARNING:
            print(line.decode(), file=sys.stderr)

    # Kept in variables: ctypes frees a callback object that nothing holds.
    callbacks = Callbacks(ready=READY(lambda _: ready.set()), message_received=MESSAGE(on_message),
                          log_line=LOG(on_log))
    registered = RESULT(lambda _, result: outcome.__setitem__("registration", result))
    fetched = RESULT(lambda _, result: outcome.__setitem__("fetch", result))

    error = ctypes.c_void_p()

    def check(what, status):
        if status != OK:
            raise RuntimeError("%s: %s (%s)" % (what, lib.quorvela_status_name(status).decode(),
                                                take_text(lib, error)))

    handle = lib.quorvela_init(ctypes.byref(options), ctypes.byref(callbacks), ctypes.byref(error))
    if not handle:
        print("init: %s" % take_text(lib, error), file=sys.stderr)
        return 1
    try:
        check("register", lib.quorvela_register_user(handle, b"walker", registered, None, ctypes.byref(error)))
        token = bytes([0xde, 0xad, 0xbe, 0xef])
        check("push token", lib.quorvela_set_push_token(handle, token, len(token), ctypes.byref(error)))
        check("flush", lib.quorvela_flush(handle, 30000, ctypes.byref(error)))
        print("registered: %s, ready: %s" % (outcome.get("registration"), ready.is_set()))

        push = {"msgId": "w-1", "type": "TXT_MSG", "clientId": "walk-main"}
        check("push", lib.quorvela_process_push(handle, json.dumps(push).encode(), fetched, None,
                                                ctypes.byref(error)))
        check("flush", lib.quorvela_flush(handle, 30000, ctypes.byref(error)))
        print("push: %s" % ("new data" if outcome.get("fetch") == FETCH_NEW_DATA else "no new data"))

        text = ctypes.c_void_p()
        check("inbox", lib.quorvela_inbox(handle, None, ctypes.byref(text), ctypes.byref(error)))
        inbox = json.loads(take_text(lib, text))
        print("inbox: " + ", ".join('"%s"' % message.get("text", "") for message in inbox))
        found = any(message.get("id") == "w-1" for message in inbox)
    finally:
        status = lib.quorvela_close(handle, 30000, ctypes.byref(error))
    check("close", status)
    return 0 if found and ready.is_set() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
