#include "Session.h"

#include <unistd.h>

#include <climits>

#include "Files.h"

#ifndef ORVANE_VERSION
#define ORVANE_VERSION "0"
#endif

namespace orvane::server {

using protocol::Argument;
using protocol::equalsIgnoreCase;
using protocol::Reply;
using protocol::Request;
using protocol::WireValue;

namespace {

constexpr const char* kApplicationName = "Microsoft Word";  // what callers check the default property against
constexpr std::size_t kMaxHandles = 100000;

const char* typeWord(char type) {
    switch (type) {
    case 's': return "a string";
    case 'i': return "an integer";
    case 'b': return "a Boolean";
    default: return "a value";
    }
}

bool hasType(const WireValue& value, char type) {
    switch (type) {
    case 's': return std::holds_alternative<std::string>(value);
    case 'i': return std::holds_alternative<std::int32_t>(value);
    case 'b': return std::holds_alternative<bool>(value);
    default: return true;
    }
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name as it appears in a message: a client's typo is worth showing, a megabyte of it is not.
std::string shown(const std::string& name) {
    constexpr std::size_t kLongest = 80;
    return name.size() <= kLongest ? name : name.substr(0, kLongest) + "...";
}

Reply unknownMember(const std::string& member, const char* className) {
    return Reply::failure("Unknown member '" + shown(member) + "' of " + className);
}

Reply noArguments(const Request& request) {
    return Reply::failure((request.member.empty() ? std::string("The default member") : shown(request.member)) +
                          " takes no arguments");
}

// For members that take nothing: the reply, or the complaint about arguments.
Reply property(const Request& request, WireValue value) {
    if (!request.arguments.empty()) return noArguments(request);
    return Reply::success(std::move(value));
}

const std::string* stringAt(const BoundArguments& bound, std::size_t index) {
    return bound.values[index] ? std::get_if<std::string>(&*bound.values[index]) : nullptr;
}

}  // namespace

BoundArguments bindArguments(std::string_view member, const std::vector<Parameter>& parameters,
                             const std::vector<Argument>& arguments) {
    BoundArguments bound;
    bound.values.resize(parameters.size());
    const std::string name(member);
    if (parameters.empty() && !arguments.empty()) {
        bound.error = name + " takes no arguments";
        return bound;
    }
    std::size_t position = 0;
    std::size_t positionalCount = 0;
    for (const Argument& argument : arguments)
        if (argument.name.empty()) ++positionalCount;
    if (positionalCount > parameters.size()) {
        bound.error = name + " takes at most " + std::to_string(parameters.size()) + " arguments; " +
                      std::to_string(positionalCount) + " were given";
        return bound;
    }
    for (const Argument& argument : arguments) {
        std::size_t index = 0;
        if (argument.name.empty()) {
            index = position++;
        } else {
            index = parameters.size();
            for (std::size_t i = 0; i < parameters.size(); ++i)
                if (equalsIgnoreCase(argument.name, parameters[i].name)) index = i;
            if (index == parameters.size()) {
                bound.error = name + " has no argument named '" + shown(argument.name) + "'";
                return bound;
            }
        }
        const Parameter& parameter = parameters[index];
        if (bound.values[index]) {
            bound.error = name + " was given the argument " + parameter.name + " twice";
            return bound;
        }
        if (!hasType(argument.value, parameter.type)) {
            bound.error = name + " expects " + typeWord(parameter.type) + " for " + parameter.name + ", not " +
                          protocol::describeType(argument.value);
            return bound;
        }
        bound.values[index] = argument.value;
    }
    return bound;
}

Outcome Session::handle(const Request& request) {
    if (request.verb == protocol::Verb::Release) {
        if (request.handle == 0) return Reply::success({});  // the application stays while the connection does
        if (m_handles.erase(request.handle) == 0)
            return Reply::failure("There is no object with the handle " + std::to_string(request.handle));
        return Reply::success({});
    }
    // Automation callers reach properties and methods alike by name; GET is a call without arguments.
    if (request.handle == 0) return applicationMember(request);
    const auto found = m_handles.find(request.handle);
    if (found == m_handles.end())
        return Reply::failure("There is no object with the handle " + std::to_string(request.handle));
    const ObjectRef object = found->second;
    switch (object.kind) {
    case Kind::Application: return applicationMember(request);
    case Kind::Documents: return documentsMember(request);
    case Kind::Document: return documentMember(request, object.document);
    }
    return Reply::failure("Unknown object");
}

Reply Session::newHandle(ObjectRef object) {
    if (m_handles.size() >= kMaxHandles)
        return Reply::failure("Too many objects are held at once; release some first");
    while (m_nextHandle <= 0 || m_handles.count(m_nextHandle)) m_nextHandle = m_nextHandle <= 0 ? 1 : m_nextHandle + 1;
    const std::int32_t id = m_nextHandle++;
    m_handles.emplace(id, std::move(object));
    return Reply::success(protocol::Handle{id});
}

Outcome Session::applicationMember(const Request& request) {
    const std::string& m = request.member;
    if (m.empty() || equalsIgnoreCase(m, "Value") || equalsIgnoreCase(m, "Name"))
        return property(request, std::string(kApplicationName));
    if (equalsIgnoreCase(m, "Version")) return property(request, std::string("orvane-word " ORVANE_VERSION));
    if (equalsIgnoreCase(m, "Documents")) {
        if (!request.arguments.empty()) return noArguments(request);
        return newHandle({Kind::Documents, nullptr});
    }
    if (equalsIgnoreCase(m, "Quit")) {
        // Quit never saves: a document that should be kept was saved with SaveAs.
        const BoundArguments bound =
            bindArguments(m, {{"SaveChanges", '*'}, {"OriginalFormat", '*'}, {"RouteDocument", '*'}}, request.arguments);
        if (!bound.error.empty()) return Reply::failure(bound.error);
        m_app.quitRequested = true;
        return Reply::success({});
    }
    return unknownMember(m, "Application");
}

Outcome Session::documentsMember(const Request& request) {
    const std::string& m = request.member;
    if (equalsIgnoreCase(m, "Count")) return property(request, static_cast<std::int32_t>(m_app.documents.size()));
    if (equalsIgnoreCase(m, "Open")) return open(request);
    if (m.empty() || equalsIgnoreCase(m, "Item")) {
        const BoundArguments bound = bindArguments("Item", {{"Index", 'i'}}, request.arguments);
        if (!bound.error.empty()) return Reply::failure(bound.error);
        if (!bound.values[0]) return Reply::failure("Item needs the number of a document");
        const std::int32_t index = std::get<std::int32_t>(*bound.values[0]);
        if (index < 1 || static_cast<std::size_t>(index) > m_app.documents.size())
            return Reply::failure("There is no document number " + std::to_string(index) + "; " +
                                  std::to_string(m_app.documents.size()) + " are open");
        return newHandle({Kind::Document, m_app.documents[static_cast<std::size_t>(index - 1)]});
    }
    return unknownMember(m, "Documents");
}

Outcome Session::open(const Request& request) {
    // The flags callers commonly pass are accepted; none changes how a document is read.
    const BoundArguments bound = bindArguments(
        "Open", {{"FileName", 's'}, {"ConfirmConversions", '*'}, {"ReadOnly", '*'}, {"AddToRecentFiles", '*'}},
        request.arguments);
    if (!bound.error.empty()) return Reply::failure(bound.error);
    const std::string* name = stringAt(bound, 0);
    if (!name || name->empty()) return Reply::failure("Open needs the path of a document");

    const std::string path = *name;
    auto result = std::make_shared<ReadResult>();
    Job job;
    job.work = [path, result] { *result = readDocumentFile(path); };
    job.finish = [this, path, result]() -> Reply {
        if (!result->ok()) return Reply::failure("Cannot open " + path + ": " + result->error);
        auto document = std::make_shared<OpenDocument>();
        document->fullName = absolutePath(path);
        document->model = std::make_shared<const model::Document>(std::move(*result->document));
        m_app.documents.push_back(document);
        return newHandle({Kind::Document, document});
    };
    return job;
}

Outcome Session::documentMember(const Request& request, const std::shared_ptr<OpenDocument>& document) {
    const std::string& m = request.member;
    if (document->closed) return Reply::failure("The document " + fileNameOf(document->fullName) + " has been closed");
    if (equalsIgnoreCase(m, "SaveAs") || equalsIgnoreCase(m, "SaveAs2")) return saveAs(request, document);
    if (equalsIgnoreCase(m, "Name")) return property(request, fileNameOf(document->fullName));
    if (equalsIgnoreCase(m, "FullName")) return property(request, document->fullName);
    if (equalsIgnoreCase(m, "Close")) {
        const BoundArguments bound =
            bindArguments(m, {{"SaveChanges", '*'}, {"OriginalFormat", '*'}, {"RouteDocument", '*'}}, request.arguments);
        if (!bound.error.empty()) return Reply::failure(bound.error);
        document->closed = true;
        std::erase(m_app.documents, document);
        return Reply::success({});
    }
    if (m.empty()) return Reply::failure("Document has no default member");
    return unknownMember(m, "Document");
}

Outcome Session::saveAs(const Request& request, const std::shared_ptr<OpenDocument>& document) {
    // The order is the one positional callers rely on.
    static const std::vector<Parameter> kParameters = {
        {"FileName", 's'},          {"FileFormat", 'i'},          {"LockComments", 'b'},
        {"Password", 's'},          {"AddToRecentFiles", 'b'},    {"WritePassword", 's'},
        {"ReadOnlyRecommended", 'b'}, {"EmbedTrueTypeFonts", 'b'}, {"SaveNativePictureFormat", 'b'},
        {"SaveFormsData", 'b'},     {"SaveAsAOCELetter", 'b'},    {"Encoding", '*'},
        {"InsertLineBreaks", '*'},  {"AllowSubstitutions", '*'},  {"LineEnding", '*'},
        {"AddBiDiMarks", '*'},      {"CompatibilityMode", '*'}};
    const BoundArguments bound = bindArguments("SaveAs", kParameters, request.arguments);
    if (!bound.error.empty()) return Reply::failure(bound.error);

    const std::string* fileName = stringAt(bound, 0);
    if (!fileName || fileName->empty()) return Reply::failure("SaveAs needs a file name (FileName)");
    if (bound.values[1]) {
        const std::int32_t format = std::get<std::int32_t>(*bound.values[1]);
        if (format != kFileFormatRtf)
            return Reply::failure("SaveAs supports only FileFormat 6 (RTF); " + std::to_string(format) + " was given");
    }
    for (std::size_t index : {std::size_t(3), std::size_t(5)}) {
        if (const std::string* password = stringAt(bound, index); password && !password->empty())
            return Reply::failure(std::string("SaveAs cannot protect a file with a password (") +
                                  kParameters[index].name + "); passwords are not supported");
    }

    const std::string path = *fileName;
    auto error = std::make_shared<std::string>();
    Job job;
    job.work = [path, error, model = document->model] { *error = saveRtfAtomically(*model, path); };
    job.finish = [path, error, document]() -> Reply {
        if (!error->empty()) return Reply::failure("Cannot write " + path + ": " + *error);
        document->fullName = absolutePath(path);
        return Reply::success({});
    };
    return job;
}

}  // namespace orvane::server
