// The automation client: drives a document engine (orvane-word) the way a
// program drives "Word.Application": create an instance or find a running one,
// then reach its members by name at run time.
//
//   auto word = createObject("Word.Application");
//   auto documents = std::get<std::shared_ptr<Object>>(word->get("Documents"));
//   auto document = std::get<std::shared_ptr<Object>>(documents->call("Open", {Value(path)}));
//   document->call("SaveAs", {}, {{"FileName", Value(out)}, {"FileFormat", Value(std::int32_t(6))}});
//   word->call("Quit");
//
// Lifetime: every Object keeps its connection; releasing the last Object of a
// connection ends it. For an instance made by createObject that ends the engine
// process too: it is given about two seconds to exit, then SIGTERM and a second
// more, then SIGKILL, and is always reaped, so no engine outlives the code that
// created it, on any path; whatever a killed engine left (its registry entry, the
// temporary of a save in progress) is removed.
//
// Plain C++20 and POSIX, no Qt. Calls on one connection are serialised, so
// objects may be used from several threads, though one at a time is the norm.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvane::automation {

// what() is a description for the user, e.g. "Cannot open /x/a.docx: The file is empty."
class AutomationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Object;

// Nothing, a Boolean, a 32-bit integer, a UTF-8 string, or an object.
using Value = std::variant<std::monostate, bool, std::int32_t, std::string, std::shared_ptr<Object>>;

struct NamedArg {
    std::string name;
    Value value;
};

struct ClientOptions {
    // The engine program; empty: "orvane-word" in the folder of the running executable.
    std::string enginePath;
    // How long one call may take before the engine is stopped.
    std::chrono::milliseconds callTimeout = std::chrono::seconds(300);
    // How long a new engine may take to greet.
    std::chrono::milliseconds startTimeout = std::chrono::seconds(30);
    // The registry of running instances; empty: the user's own. createObject passes it
    // on to the engine, so tests keep their instances apart from the user's.
    std::string registryDir;
    // The engine's memory limit in MB; 0: the engine's default.
    unsigned memoryLimitMb = 0;
};

namespace detail {
class Channel;
}

class Object {
public:
    ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // A property, or a method called without arguments.
    Value get(std::string_view member);
    // Positional arguments in order, then named ones; names match without regard to case.
    Value call(std::string_view member, std::vector<Value> positional = {}, std::vector<NamedArg> named = {});
    // The default member's value, as text ("Microsoft Word" for the application).
    std::string defaultValue();

    // False once the connection is over: after Quit, a crash, or a timeout.
    bool connected() const;
    // The engine's process id: the one started by createObject, or the instance found by getObject.
    pid_t processId() const;

private:
    friend std::shared_ptr<Object> createObject(std::string_view, const ClientOptions&);
    friend std::shared_ptr<Object> getObject(std::string_view, const ClientOptions&);
    Object(std::shared_ptr<detail::Channel> channel, std::int32_t handle);
    Value invoke(bool isGet, std::string_view member, std::vector<Value> positional, std::vector<NamedArg> named);

    std::shared_ptr<detail::Channel> m_channel;
    std::int32_t m_handle;
};

// Starts a new instance. Only "Word.Application" (any letter case) is known.
std::shared_ptr<Object> createObject(std::string_view progId, const ClientOptions& options = {});

// The first running instance of this user that answers; releasing it never ends
// that instance. Throws "No running instance of Word.Application" when none does.
// Entries left behind by instances that died are removed on the way.
std::shared_ptr<Object> getObject(std::string_view progId, const ClientOptions& options = {});

// "orvane-word" in the folder of the running executable.
std::string defaultEnginePath();

}  // namespace orvane::automation
