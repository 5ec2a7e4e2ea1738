#include "platform/keyring/keyring.h"

#include <libsecret/secret.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <thread>

namespace keyring {

namespace {

const SecretSchema* Schema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.parvex.Password";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"provider", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"entry", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[3] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

// Owners of the GLib objects one call makes, released in every return path.
struct Unref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;
struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct TableFree {
    void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};
using Table = std::unique_ptr<GHashTable, TableFree>;
struct ItemList {  // a GList of SecretItem references
    GList* items = nullptr;
    ~ItemList() { g_list_free_full(items, g_object_unref); }
};

// What the worker thread and the waiting caller share; the worker may outlive
// the caller when time runs out.
struct Call {
    Ref<GCancellable> cancellable{g_cancellable_new()};
    std::atomic<bool> unlocking{false};  // the service's unlock prompt is up
    std::mutex mutex;
    std::condition_variable doneSignal;
    bool done = false;
    Status status = Status::Failed;
    std::string password;
};

Status FromError(const GError* error) {
    if (error == nullptr) return Status::Failed;
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_NO_MEMORY:
            return Status::NoService;
        case G_DBUS_ERROR_NO_REPLY:
        case G_DBUS_ERROR_TIMEOUT:
        case G_DBUS_ERROR_TIMED_OUT:
            return Status::TimedOut;
        default:
            return Status::Failed;
        }
    }
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED) return Status::Locked;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) return Status::TimedOut;
    return Status::Failed;
}

// Whether this process knows a session bus to ask. Without one GLib would
// start a bus daemon of its own for the display (autolaunch), and a keyring on
// a bus that nothing else uses holds no password of ours.
bool SessionBusKnown() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') return true;
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime != '\0' &&
           g_file_test((std::string(runtime) + "/bus").c_str(), G_FILE_TEST_EXISTS);
}

// A service object of the call's own, so that a call never waits on another
// call's half-finished session; the bus connection is GLib's shared one.
Status Open(GCancellable* cancellable, Ref<SecretService>& service) {
    GError* error = nullptr;
    Ref<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, &error));
    if (!bus) {
        std::unique_ptr<GError, ErrorFree> owned(error);
        return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ? Status::TimedOut : Status::NoService;
    }
    // GLib ends the whole process when its shared bus closes; a session bus
    // that goes away must cost us the keyring, not the program.
    g_dbus_connection_set_exit_on_close(bus.get(), FALSE);
    service.reset(secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_OPEN_SESSION, cancellable,
                                           &error));
    if (service) return Status::Ok;
    std::unique_ptr<GError, ErrorFree> owned(error);
    return FromError(error);
}

// Runs `work` on a thread of its own and waits at most `timeout` for it.
Status Bounded(Timeout timeout, std::string* password,
               std::function<Status(Call&, SecretService*)> work) {
    if (!SessionBusKnown()) return Status::NoService;
    auto call = std::make_shared<Call>();
    std::thread([call, work = std::move(work)] {
        Ref<SecretService> service;
        Status status = Open(call->cancellable.get(), service);
        if (status == Status::Ok) status = work(*call, service.get());
        std::lock_guard lock(call->mutex);
        call->status = status;
        call->done = true;
        call->doneSignal.notify_all();
    }).detach();
    std::unique_lock lock(call->mutex);
    if (!call->doneSignal.wait_for(lock, timeout, [&] { return call->done; })) {
        const bool unlocking = call->unlocking;  // before the cancel ends the prompt
        g_cancellable_cancel(call->cancellable.get());
        return unlocking ? Status::Locked : Status::TimedOut;
    }
    if (password != nullptr && call->status == Status::Ok) *password = call->password;
    return call->status;
}

Table Attributes(const std::string* provider, const std::string* entry, const std::string* server,
                 const std::string* user) {
    Table table(g_hash_table_new(g_str_hash, g_str_equal));
    const std::pair<const char*, const std::string*> pairs[] = {
        {"provider", provider}, {"entry", entry}, {"server", server}, {"user", user}};
    for (const auto& [name, value] : pairs)
        if (value != nullptr) g_hash_table_insert(table.get(), gpointer(name), gpointer(value->c_str()));
    return table;
}

// An unlock prompt shown by the service, waited for in a main context of the
// calling thread's own.
struct PromptWait {
    GMainLoop* loop = nullptr;
    bool completed = false;
    bool dismissed = true;
    guint unlocked = 0;
};

void OnPromptCompleted(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                       gpointer data) {
    auto* wait = static_cast<PromptWait*>(data);
    gboolean dismissed = TRUE;
    GVariant* result = nullptr;
    g_variant_get(parameters, "(bv)", &dismissed, &result);
    wait->completed = true;
    wait->dismissed = dismissed;
    if (result != nullptr && g_variant_is_of_type(result, G_VARIANT_TYPE("ao")))
        wait->unlocked = guint(g_variant_n_children(result));
    if (result != nullptr) g_variant_unref(result);
    g_main_loop_quit(wait->loop);
}

gboolean OnPromptCancelled(GCancellable*, gpointer data) {
    g_main_loop_quit(static_cast<PromptWait*>(data)->loop);
    return G_SOURCE_REMOVE;
}

// Unlocks `objects` (items or collections) through the service's prompt. Ok
// when every one of them is unlocked now; Locked when the prompt was dismissed
// or failed, or time ran out while it was shown (it is dismissed then).
// Spoken on the bus directly: libsecret's own prompt never returns once it is
// cancelled, which would leave the worker thread blocked for good.
Status Unlock(Call& call, SecretService* service, GList* objects) {
    GDBusConnection* bus = g_dbus_proxy_get_connection(G_DBUS_PROXY(service));
    const gchar* name = g_dbus_proxy_get_name(G_DBUS_PROXY(service));
    GVariantBuilder paths;
    g_variant_builder_init(&paths, G_VARIANT_TYPE("ao"));
    const guint wanted = g_list_length(objects);
    for (GList* l = objects; l != nullptr; l = l->next)
        g_variant_builder_add(&paths, "o", g_dbus_proxy_get_object_path(G_DBUS_PROXY(l->data)));
    struct Flag {  // says "unlocking" to the waiting caller for as long as this runs
        std::atomic<bool>& on;
        ~Flag() { on = false; }
    } flag{call.unlocking};
    call.unlocking = true;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, name, "/org/freedesktop/secrets", "org.freedesktop.Secret.Service",
                                                  "Unlock", g_variant_new("(ao)", &paths), G_VARIANT_TYPE("(aoo)"),
                                                  G_DBUS_CALL_FLAGS_NONE, -1, call.cancellable.get(), &error);
    if (reply == nullptr) {
        std::unique_ptr<GError, ErrorFree> owned(error);
        const Status status = FromError(error);
        return status == Status::Failed ? Status::Locked : status;
    }
    GVariant* done = nullptr;
    const gchar* prompt = nullptr;
    g_variant_get(reply, "(@ao&o)", &done, &prompt);
    const guint already = guint(g_variant_n_children(done));
    g_variant_unref(done);
    if (g_strcmp0(prompt, "/") == 0) {
        g_variant_unref(reply);
        return already == wanted ? Status::Ok : Status::Locked;
    }
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    PromptWait wait;
    wait.loop = g_main_loop_new(context, FALSE);
    const guint subscription =
        g_dbus_connection_signal_subscribe(bus, name, "org.freedesktop.Secret.Prompt", "Completed", prompt, nullptr,
                                           G_DBUS_SIGNAL_FLAGS_NONE, OnPromptCompleted, &wait, nullptr);
    GVariant* shown = g_dbus_connection_call_sync(bus, name, prompt, "org.freedesktop.Secret.Prompt", "Prompt",
                                                  g_variant_new("(s)", ""), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                                                  call.cancellable.get(), &error);
    if (shown != nullptr) {
        g_variant_unref(shown);
        GSource* cancelled = g_cancellable_source_new(call.cancellable.get());
        g_source_set_callback(cancelled, G_SOURCE_FUNC(OnPromptCancelled), &wait, nullptr);
        g_source_attach(cancelled, context);
        if (!wait.completed) g_main_loop_run(wait.loop);
        g_source_destroy(cancelled);
        g_source_unref(cancelled);
    }
    g_clear_error(&error);
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    if (!wait.completed)  // nobody needs the prompt any more; the answer is not awaited
        g_dbus_connection_call(bus, name, prompt, "org.freedesktop.Secret.Prompt", "Dismiss", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    g_variant_unref(reply);
    g_main_loop_unref(wait.loop);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return wait.completed && !wait.dismissed && already + wait.unlocked >= wanted ? Status::Ok : Status::Locked;
}

// Finds the items matching `attributes`, locked or not, and unlocks the locked
// ones. Ok with `found` holding them all unlocked; Locked when some stay locked.
Status FindUnlocked(Call& call, SecretService* service, GHashTable* attributes, ItemList& found) {
    GError* error = nullptr;
    found.items = secret_service_search_sync(service, Schema(), attributes, SECRET_SEARCH_ALL,
                                             call.cancellable.get(), &error);
    if (error != nullptr) {
        std::unique_ptr<GError, ErrorFree> owned(error);
        return FromError(error);
    }
    GList* locked = nullptr;
    for (GList* l = found.items; l != nullptr; l = l->next)
        if (secret_item_get_locked(SECRET_ITEM(l->data))) locked = g_list_append(locked, l->data);
    if (locked == nullptr) return Status::Ok;
    const Status status = Unlock(call, service, locked);
    g_list_free(locked);
    return status;
}

// The default collection unlocked before anything is searched or stored: a
// locked collection may hide its items' attributes (a search finds nothing and
// a deletion would miss them), and an item created in it is refused by some
// services.
Status UnlockDefault(Call& call, SecretService* service) {
    GError* error = nullptr;
    Ref<SecretCollection> collection(secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, call.cancellable.get(), &error));
    if (error != nullptr) {
        std::unique_ptr<GError, ErrorFree> owned(error);
        return FromError(error);
    }
    if (!collection || !secret_collection_get_locked(collection.get())) return Status::Ok;
    GList one = {collection.get(), nullptr, nullptr};
    return Unlock(call, service, &one);
}

Status DeleteMatching(Call& call, SecretService* service, GHashTable* attributes) {
    ItemList found;
    Status status = UnlockDefault(call, service);
    if (status == Status::Ok) status = FindUnlocked(call, service, attributes, found);
    for (GList* l = found.items; status == Status::Ok && l != nullptr; l = l->next) {
        GError* error = nullptr;
        if (!secret_item_delete_sync(SECRET_ITEM(l->data), call.cancellable.get(), &error)) {
            std::unique_ptr<GError, ErrorFree> owned(error);
            status = FromError(error);
        }
    }
    return status;
}

bool SameAttribute(SecretItem* item, const char* name, const std::string& value) {
    Table attributes(secret_item_get_attributes(item));
    auto* found = static_cast<const char*>(g_hash_table_lookup(attributes.get(), name));
    return found != nullptr && value == found;
}

// D-Bus strings must be UTF-8 without NUL; a settings value that is not would
// be refused deep in GLib (or cut at the NUL and match another item).
bool Sendable(std::initializer_list<const std::string*> texts) {
    for (const std::string* text : texts)
        if (!g_utf8_validate_len(text->data(), text->size(), nullptr)) return false;
    return true;
}

}  // namespace

const char* StatusName(Status status) {
    switch (status) {
    case Status::Ok: return "ok";
    case Status::NotFound: return "not found";
    case Status::Locked: return "locked";
    case Status::NoService: return "no service";
    case Status::TimedOut: return "timed out";
    case Status::Failed: break;
    }
    return "failed";
}

Status Available(Timeout timeout) {
    return Bounded(timeout, nullptr, [](Call&, SecretService*) { return Status::Ok; });
}

Status Store(const Key& key, const std::string& password, Timeout timeout) {
    if (!Sendable({&key.provider, &key.entry, &key.server, &key.user})) return Status::Failed;
    return Bounded(timeout, nullptr, [key, password](Call& call, SecretService* service) {
        Status status = UnlockDefault(call, service);
        if (status != Status::Ok) return status;
        Table attributes = Attributes(&key.provider, &key.entry, &key.server, &key.user);
        const std::string label = "Parvex: " + key.provider + " (" + key.server + ")";
        SecretValue* value = secret_value_new(password.c_str(), gssize(password.size()), "text/plain");
        GError* error = nullptr;
        const bool stored = secret_service_store_sync(service, Schema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                                      label.c_str(), value, call.cancellable.get(), &error);
        secret_value_unref(value);
        if (!stored) {
            std::unique_ptr<GError, ErrorFree> owned(error);
            return FromError(error);
        }
        // The entry's items under an earlier server or user name go now that the new one is safe.
        ItemList found;
        Table entry = Attributes(&key.provider, &key.entry, nullptr, nullptr);
        status = FindUnlocked(call, service, entry.get(), found);
        for (GList* l = found.items; status == Status::Ok && l != nullptr; l = l->next) {
            auto* item = SECRET_ITEM(l->data);
            if (SameAttribute(item, "server", key.server) && SameAttribute(item, "user", key.user)) continue;
            if (!secret_item_delete_sync(item, call.cancellable.get(), &error)) {
                std::unique_ptr<GError, ErrorFree> owned(error);
                status = FromError(error);
            }
        }
        return status;
    });
}

Status Lookup(const Key& key, std::string& password, Timeout timeout) {
    password.clear();
    if (!Sendable({&key.provider, &key.entry, &key.server, &key.user})) return Status::Failed;
    return Bounded(timeout, &password, [key](Call& call, SecretService* service) {
        Table attributes = Attributes(&key.provider, &key.entry, &key.server, &key.user);
        ItemList found;
        Status status = UnlockDefault(call, service);
        if (status == Status::Ok) status = FindUnlocked(call, service, attributes.get(), found);
        if (status != Status::Ok) return status;
        if (found.items == nullptr) return Status::NotFound;
        auto* item = SECRET_ITEM(found.items->data);
        GError* error = nullptr;
        if (!secret_item_load_secret_sync(item, call.cancellable.get(), &error)) {
            std::unique_ptr<GError, ErrorFree> owned(error);
            return FromError(error);
        }
        SecretValue* value = secret_item_get_secret(item);
        if (value == nullptr) return Status::Locked;
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        call.password.assign(bytes, length);
        secret_value_unref(value);
        return Status::Ok;
    });
}

Status DeleteEntry(const std::string& provider, const std::string& entry, Timeout timeout) {
    if (!Sendable({&provider, &entry})) return Status::Failed;
    return Bounded(timeout, nullptr, [provider, entry](Call& call, SecretService* service) {
        Table attributes = Attributes(&provider, &entry, nullptr, nullptr);
        return DeleteMatching(call, service, attributes.get());
    });
}

Status DeleteProvider(const std::string& provider, Timeout timeout) {
    if (!Sendable({&provider})) return Status::Failed;
    return Bounded(timeout, nullptr, [provider](Call& call, SecretService* service) {
        Table attributes = Attributes(&provider, nullptr, nullptr, nullptr);
        return DeleteMatching(call, service, attributes.get());
    });
}

}  // namespace keyring
