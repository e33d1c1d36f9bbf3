// The objects a client reaches through the automation protocol, and one client's
// numbered handles to them. Application (handle 0) -> Documents -> Document; the
// members answer by name, without regard to letter case, as automation does.
// Nothing here does I/O: opening and saving are handed back as jobs that the
// server runs off its main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "Engine.h"
#include "protocol/Protocol.h"

namespace orvane::server {

// RTF, in the numbering of file formats that SaveAs callers pass.
inline constexpr std::int32_t kFileFormatRtf = 6;

struct OpenDocument {
    std::string fullName;  // absolute path of the file it was read from or last saved to
    std::shared_ptr<const model::Document> model;
    bool closed = false;
};

// What all clients of one process share: the open documents, and whether Quit was asked for.
struct Application {
    std::vector<std::shared_ptr<OpenDocument>> documents;
    bool quitRequested = false;
};

// Long work: `work` runs on the worker thread and touches nothing shared;
// `finish` runs on the main thread afterwards and makes the reply.
struct Job {
    std::function<void()> work;
    std::function<protocol::Reply()> finish;
};

using Outcome = std::variant<protocol::Reply, Job>;

class Session {
public:
    explicit Session(Application& application) : m_app(application) {}

    Outcome handle(const protocol::Request& request);

    std::size_t handleCount() const { return m_handles.size(); }

private:
    enum class Kind { Application, Documents, Document };
    struct ObjectRef {
        Kind kind;
        std::shared_ptr<OpenDocument> document;  // Kind::Document only
    };

    Outcome applicationMember(const protocol::Request& request);
    Outcome documentsMember(const protocol::Request& request);
    Outcome documentMember(const protocol::Request& request, const std::shared_ptr<OpenDocument>& document);
    Outcome open(const protocol::Request& request);
    Outcome saveAs(const protocol::Request& request, const std::shared_ptr<OpenDocument>& document);
    protocol::Reply newHandle(ObjectRef object);

    Application& m_app;
    std::unordered_map<std::int32_t, ObjectRef> m_handles;
    std::int32_t m_nextHandle = 1;
};

// Binding of a call's arguments to a member's parameters, by position and by name.
struct Parameter {
    const char* name;
    char type;  // 's' string, 'i' integer, 'b' Boolean, '*' anything (accepted and ignored)
};

struct BoundArguments {
    std::vector<std::optional<protocol::WireValue>> values;  // one per parameter
    std::string error;
};

BoundArguments bindArguments(std::string_view member, const std::vector<Parameter>& parameters,
                             const std::vector<protocol::Argument>& arguments);

}  // namespace orvane::server
