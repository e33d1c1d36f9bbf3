#include "Automation.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "Channel.h"
#include "protocol/Protocol.h"
#include "protocol/Registry.h"

namespace orvane::automation {

namespace {

constexpr std::string_view kWordApplication = "Word.Application";

void checkClass(std::string_view progId) {
    if (!protocol::equalsIgnoreCase(progId, kWordApplication))
        throw AutomationError("Unknown class '" + std::string(progId) + "'");
}

protocol::WireValue toWire(const Value& value, std::string_view member) {
    struct Visitor {
        std::string_view member;
        protocol::WireValue operator()(std::monostate) const { return {}; }
        protocol::WireValue operator()(bool b) const { return b; }
        protocol::WireValue operator()(std::int32_t i) const { return i; }
        protocol::WireValue operator()(const std::string& s) const { return s; }
        protocol::WireValue operator()(const std::shared_ptr<Object>&) const {
            throw AutomationError("An object cannot be passed to " + std::string(member));
        }
    };
    return std::visit(Visitor{member}, value);
}

// True when the process is stopped (SIGSTOP, a debugger): it would accept a
// connection and never greet, so it is passed over without one.
bool isStopped(long pid) {
    const int fd = ::open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0) return false;
    const std::string_view stat(buffer, static_cast<std::size_t>(n));
    // "<pid> (<name>) <state> ...": the name may hold anything, so from the last ')'.
    const std::size_t close = stat.rfind(')');
    if (close == std::string_view::npos || close + 2 >= stat.size()) return false;
    const char state = stat[close + 2];
    return state == 'T' || state == 't';
}

}  // namespace

Object::Object(std::shared_ptr<detail::Channel> channel, std::int32_t handle)
    : m_channel(std::move(channel)), m_handle(handle) {}

Object::~Object() {
    // The application (handle 0) lives as long as the connection; everything else
    // is released one by one, as the engine would otherwise keep it until the end.
    if (m_handle != 0) m_channel->release(m_handle);
}

Value Object::get(std::string_view member) { return invoke(true, member, {}, {}); }

Value Object::call(std::string_view member, std::vector<Value> positional, std::vector<NamedArg> named) {
    return invoke(false, member, std::move(positional), std::move(named));
}

Value Object::invoke(bool isGet, std::string_view member, std::vector<Value> positional, std::vector<NamedArg> named) {
    protocol::Request request;
    request.verb = isGet ? protocol::Verb::Get : protocol::Verb::Call;
    request.handle = m_handle;
    request.member = std::string(member);
    for (const Value& value : positional) request.arguments.push_back({{}, toWire(value, member)});
    for (const NamedArg& argument : named) {
        if (argument.name.empty()) throw AutomationError("A named argument of " + std::string(member) + " has no name");
        request.arguments.push_back({argument.name, toWire(argument.value, member)});
    }
    // GET carries no arguments; a call with none is the same question.
    if (request.arguments.empty()) request.verb = protocol::Verb::Get;

    protocol::WireValue result = m_channel->request(request);

    if (m_handle == 0 && protocol::equalsIgnoreCase(member, "Quit")) m_channel->quitAnswered();

    struct Visitor {
        const std::shared_ptr<detail::Channel>& channel;
        Value operator()(std::monostate) const { return {}; }
        Value operator()(bool b) const { return b; }
        Value operator()(std::int32_t i) const { return i; }
        Value operator()(std::string& s) const { return std::move(s); }
        Value operator()(protocol::Handle h) const { return std::shared_ptr<Object>(new Object(channel, h.id)); }
    };
    return std::visit(Visitor{m_channel}, result);
}

std::string Object::defaultValue() {
    Value value = get("");
    if (auto* text = std::get_if<std::string>(&value)) return std::move(*text);
    if (auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
    if (auto* flag = std::get_if<bool>(&value)) return *flag ? "True" : "False";
    throw AutomationError("The default member has no value that can be shown as text");
}

bool Object::connected() const { return m_channel->connected(); }

pid_t Object::processId() const { return m_channel->processId(); }

std::string defaultEnginePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "orvane-word";
    std::string executable(path, static_cast<std::size_t>(length));
    return executable.substr(0, executable.rfind('/') + 1) + "orvane-word";
}

std::shared_ptr<Object> createObject(std::string_view progId, const ClientOptions& options) {
    checkClass(progId);
    const std::string enginePath = options.enginePath.empty() ? defaultEnginePath() : options.enginePath;
    return std::shared_ptr<Object>(new Object(detail::Channel::start(enginePath, options), 0));
}

std::shared_ptr<Object> getObject(std::string_view progId, const ClientOptions& options) {
    checkClass(progId);
    for (const std::string& folder : protocol::registryFoldersToSearch(options.registryDir)) {
        // Only a folder no one else can write to is trusted to name our instances.
        if (!protocol::isPrivateFolder(folder)) continue;
        std::vector<std::pair<long, std::string>> entries;
        if (DIR* dir = opendir(folder.c_str())) {
            while (const dirent* entry = readdir(dir))
                if (const auto pid = protocol::pidFromSocketFileName(entry->d_name)) entries.emplace_back(*pid, entry->d_name);
            closedir(dir);
        }
        std::sort(entries.begin(), entries.end());
        for (const auto& [pid, name] : entries) {
            const std::string path = folder + "/" + name;
            if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
                ::unlink(path.c_str());  // its instance died without cleaning up
                continue;
            }
            // Alive but stopped: its entry stays (it may be continued), and nobody waits for it.
            if (isStopped(pid)) continue;
            if (auto channel = detail::Channel::connect(path, options))
                return std::shared_ptr<Object>(new Object(std::move(channel), 0));
        }
    }
    throw AutomationError("No running instance of Word.Application");
}

}  // namespace orvane::automation
