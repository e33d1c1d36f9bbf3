#include "docx/DocxPackage.h"

namespace orvane::docx {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = hexDigit(s[i + 1]);
            const int lo = hexDigit(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

// "word/_rels/document.xml.rels" for "word/document.xml"; "_rels/.rels" for "".
std::string relsPartFor(std::string_view part) {
    if (part.empty()) return "_rels/.rels";
    const auto slash = part.rfind('/');
    if (slash == std::string_view::npos) return "_rels/" + std::string(part) + ".rels";
    return std::string(part.substr(0, slash)) + "/_rels/" + std::string(part.substr(slash + 1)) +
           ".rels";
}

}  // namespace

bool relationshipIs(std::string_view type, std::string_view kind) {
    if (type.size() <= kind.size()) return false;
    return type.substr(type.size() - kind.size()) == kind &&
           type[type.size() - kind.size() - 1] == '/';
}

void Relationships::add(Relationship r) {
    m_byId.emplace(r.id, m_list.size());
    m_list.push_back(std::move(r));
}

const Relationship* Relationships::byId(std::string_view id) const {
    auto it = m_byId.find(std::string(id));
    return it == m_byId.end() ? nullptr : &m_list[it->second];
}

const Relationship* Relationships::byKind(std::string_view kind) const {
    for (const auto& r : m_list) {
        if (relationshipIs(r.type, kind)) return &r;
    }
    return nullptr;
}

std::string resolvePartName(std::string_view sourcePart, std::string_view target) {
    std::string decoded = percentDecode(target);
    for (char& c : decoded) {
        if (c == '\\') c = '/';
    }
    std::vector<std::string_view> segments;
    std::string_view t = decoded;
    std::string base;
    if (!t.empty() && t.front() == '/') {
        t.remove_prefix(1);
    } else {
        const auto slash = sourcePart.rfind('/');
        if (slash != std::string_view::npos) base = std::string(sourcePart.substr(0, slash));
    }
    std::string joined = base.empty() ? std::string(t) : base + "/" + std::string(t);
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        std::string_view seg = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (seg.empty() || seg == ".") continue;
        if (seg == "..") {
            if (!segments.empty()) segments.pop_back();
            continue;
        }
        segments.push_back(seg);
    }
    std::string out;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i) out.push_back('/');
        out.append(segments[i]);
    }
    return out;
}

std::unique_ptr<Package> Package::open(std::string_view bytes, const ReadLimits& limits,
                                       std::string& error) {
    std::unique_ptr<Package> pkg(new Package);
    pkg->m_limits = limits;
    pkg->m_zip = zip::ZipArchive::open(bytes, limits, error);
    if (!pkg->m_zip) return nullptr;

    if (pkg->m_zip->contains("[Content_Types].xml")) {
        std::unique_ptr<xml::Part> types = pkg->readXml("[Content_Types].xml", error);
        if (!types) return nullptr;
        for (pugi::xml_node n : types->root().children()) {
            const std::string_view name = localName(n.name());
            if (name == "Default") {
                pkg->m_defaults[lower(n.attribute("Extension").value())] =
                    n.attribute("ContentType").value();
            } else if (name == "Override") {
                std::string_view part = n.attribute("PartName").value();
                if (!part.empty() && part.front() == '/') part.remove_prefix(1);
                pkg->m_overrides[lower(percentDecode(part))] = n.attribute("ContentType").value();
            }
        }
    }
    return pkg;
}

std::string Package::contentType(std::string_view partName) const {
    if (auto it = m_overrides.find(lower(partName)); it != m_overrides.end()) return it->second;
    const auto dot = partName.rfind('.');
    if (dot != std::string_view::npos) {
        if (auto it = m_defaults.find(lower(partName.substr(dot + 1))); it != m_defaults.end())
            return it->second;
    }
    return {};
}

std::unique_ptr<xml::Part> Package::readXml(std::string_view partName, std::string& error) {
    std::string bytes;
    if (!m_zip->read(partName, bytes, error)) return nullptr;
    auto part = std::make_unique<xml::Part>();
    bool refuse = false;
    if (!parseXmlPart(std::string(partName), std::move(bytes), m_limits, *part, error, &refuse)) {
        if (refuse) m_refused = true;
        return nullptr;
    }
    return part;
}

bool Package::readBytes(std::string_view partName, std::string& out, std::string& error) {
    return m_zip->read(partName, out, error);
}

const Relationships& Package::relationships(std::string_view partName, std::string& warning) {
    auto [it, inserted] = m_rels.try_emplace(std::string(partName));
    if (!inserted) return it->second;
    const std::string relsName = relsPartFor(partName);
    if (!m_zip->contains(relsName)) return it->second;
    std::string error;
    std::unique_ptr<xml::Part> xml = readXml(relsName, error);
    if (!xml) {
        warning = error;
        return it->second;
    }
    for (pugi::xml_node n : xml->root().children()) {
        if (localName(n.name()) != "Relationship") continue;
        Relationship r;
        r.id = n.attribute("Id").value();
        r.type = n.attribute("Type").value();
        std::string_view mode = n.attribute("TargetMode").value();
        r.external = mode == "External";
        std::string_view target = n.attribute("Target").value();
        r.rawTarget = std::string(target);
        r.target = r.external ? r.rawTarget : resolvePartName(partName, target);
        it->second.add(std::move(r));
    }
    return it->second;
}

}  // namespace orvane::docx
