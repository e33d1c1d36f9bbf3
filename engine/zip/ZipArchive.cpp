#include "zip/ZipArchive.h"

#include <zip.h>

#include <algorithm>

namespace orvane::zip {

namespace {

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string openErrorMessage(int code, std::string_view bytes) {
    const bool looksLikeZip = bytes.size() >= 4 && bytes.substr(0, 2) == "PK";
    switch (code) {
    case ZIP_ER_NOZIP:
        return looksLikeZip ? "The file is damaged or truncated: its ZIP directory is missing"
                            : "The file is not a ZIP package";
    case ZIP_ER_INCONS:
        return "The file is damaged: its ZIP directory is inconsistent";
    case ZIP_ER_MEMORY:
        return "Not enough memory to open the file";
    case ZIP_ER_MULTIDISK:
        return "The file is one part of a split ZIP archive";
    default:
        return looksLikeZip ? "The file is damaged: its ZIP container cannot be read"
                            : "The file is not a ZIP package";
    }
}

}  // namespace

std::unique_ptr<ZipArchive> ZipArchive::open(std::string_view bytes, const ReadLimits& limits,
                                             std::string& error) {
    if (bytes.empty()) {
        error = "The file is empty";
        return nullptr;
    }
    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zerr);
    if (!source) {
        zip_error_fini(&zerr);
        error = "Not enough memory to open the file";
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &zerr);
    if (!archive) {
        error = openErrorMessage(zip_error_code_zip(&zerr), bytes);
        zip_error_fini(&zerr);
        zip_source_free(source);
        return nullptr;
    }
    zip_error_fini(&zerr);

    std::unique_ptr<ZipArchive> result(new ZipArchive);
    result->m_zip = archive;
    result->m_limits = limits;

    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0) {
        error = "The file is damaged: its ZIP directory cannot be read";
        return nullptr;
    }
    if (static_cast<std::uint64_t>(count) > limits.maxArchiveEntries) {
        error = "The file holds too many archive members (" + std::to_string(count) +
                "); it is refused as a possible decompression bomb";
        return nullptr;
    }
    result->m_names.reserve(static_cast<std::size_t>(count));
    result->m_compressedSizes.reserve(static_cast<std::size_t>(count));
    std::uint64_t declaredTotal = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME)) {
            // An unreadable directory entry: keep the slot so indexes stay aligned.
            result->m_names.emplace_back();
            result->m_compressedSizes.push_back(0);
            continue;
        }
        std::string name = st.name;
        if (st.valid & ZIP_STAT_SIZE) declaredTotal += st.size;
        result->m_compressedSizes.push_back((st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0);
        result->m_byName.emplace(name, i);
        result->m_byLowerName.emplace(lowerAscii(name), i);
        result->m_names.push_back(std::move(name));
    }
    if (declaredTotal > limits.maxExpandedBytes) {
        error = "The file would expand to more than " +
                std::to_string(limits.maxExpandedBytes / (1024 * 1024)) +
                " MB; it is refused as a possible decompression bomb";
        return nullptr;
    }
    return result;
}

ZipArchive::~ZipArchive() {
    // Discarding also frees the buffer source (never the caller's bytes).
    if (m_zip) zip_discard(m_zip);
}

std::int64_t ZipArchive::find(std::string_view name) const {
    if (auto it = m_byName.find(std::string(name)); it != m_byName.end()) return it->second;
    if (auto it = m_byLowerName.find(lowerAscii(name)); it != m_byLowerName.end()) return it->second;
    return -1;
}

bool ZipArchive::read(std::string_view name, std::string& out, std::string& error) {
    out.clear();
    const std::int64_t index = find(name);
    if (index < 0) {
        error = "The package part " + std::string(name) + " is missing";
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &st) != 0) {
        error = "The package part " + std::string(name) + " cannot be read";
        return false;
    }
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
        error = "The package part " + std::string(name) + " is encrypted";
        return false;
    }
    const std::size_t entryLimit = m_limits.maxEntryBytes;
    const std::size_t totalLeft =
        m_expanded < m_limits.maxExpandedBytes ? m_limits.maxExpandedBytes - m_expanded : 0;
    const std::size_t limit = std::min(entryLimit, totalLeft);

    // Start from the declared size, but never trust it beyond what the
    // compressed bytes could possibly inflate to.
    std::uint64_t guess = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    const std::uint64_t plausible =
        m_compressedSizes[static_cast<std::size_t>(index)] * 1100u + 65536u;
    guess = std::min<std::uint64_t>({guess, plausible, static_cast<std::uint64_t>(limit) + 1});
    out.resize(std::max<std::size_t>(static_cast<std::size_t>(guess) + 1, 4096));

    zip_file_t* file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        error = "The package part " + std::string(name) + " cannot be opened (damaged or " +
                "stored with an unsupported compression method)";
        out.clear();
        return false;
    }
    std::size_t used = 0;
    bool failed = false;
    bool overLimit = false;
    for (;;) {
        if (used == out.size()) {
            if (used > limit) {
                overLimit = true;
                break;
            }
            out.resize(std::min<std::size_t>(out.size() * 2, limit + 1 + 4096));
        }
        const zip_int64_t got = zip_fread(file, out.data() + used, out.size() - used);
        if (got < 0) {
            failed = true;
            break;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
        if (used > limit) {
            overLimit = true;
            break;
        }
    }
    zip_fclose(file);
    if (overLimit) {
        m_limitHit = true;
        out.clear();
        out.shrink_to_fit();
        error = "The package part " + std::string(name) +
                " expands beyond the size limit; the file is refused as a possible "
                "decompression bomb";
        return false;
    }
    if (failed) {
        out.clear();
        error = "The package part " + std::string(name) + " is damaged (its compressed data " +
                "cannot be inflated)";
        return false;
    }
    out.resize(used);
    m_expanded += used;
    return true;
}

}  // namespace orvane::zip
