// The RTF writer's entry point, and the document from top to bottom: the
// header, then the sections. The Writer class is in RtfWriterState.h, its parts
// in the other files of this folder, one for each part of the document.

#include "writer/RtfWriter.h"

#include <exception>

#include "writer/RtfWriterState.h"

namespace orvane::rtf {

model::Rgb nearestHighlightColor(model::Rgb color) {
    // The colours Word offers for highlighting; anything else is shown as the nearest.
    static constexpr model::Rgb kHighlights[] = {
        0x000000, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0xFFFF00, 0xFFFFFF,
        0x000080, 0x008080, 0x008000, 0x800080, 0x800000, 0x808000, 0x808080, 0xC0C0C0,
    };
    model::Rgb best = kHighlights[0];
    long bestDistance = -1;
    for (model::Rgb h : kHighlights) {
        const long dr = static_cast<long>((h >> 16) & 0xFF) - static_cast<long>((color >> 16) & 0xFF);
        const long dg = static_cast<long>((h >> 8) & 0xFF) - static_cast<long>((color >> 8) & 0xFF);
        const long db = static_cast<long>(h & 0xFF) - static_cast<long>(color & 0xFF);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = h;
        }
    }
    return best;
}

namespace writer {

bool Writer::documentToRtf() {
    collectColors();
    m_listCounters.resize(m_doc.lists.size());

    open();
    word("rtf", 1);
    word("ansi");
    word("ansicpg", 1252);
    word("uc", 1);
    word("deff", 0);
    if (m_doc.defaultChars.lang > 0) word("deflang", m_doc.defaultChars.lang);
    endLine();
    fontTableToRtf();
    colorTableToRtf();
    defaultsToRtf();
    styleSheetToRtf();
    listTablesToRtf();
    revisionTableToRtf();
    ignorableGroup("generator");
    text("Orvane;");
    close();
    endLine();
    infoToRtf();
    pageSetupToRtf();
    flushIfFull();

    if (m_doc.sections.empty()) {
        word("sectd");
        endLine();
    }
    for (std::size_t i = 0; i < m_doc.sections.size() && !m_failed; ++i) {
        sectionToRtf(m_doc.sections[i], i > 0 ? &m_doc.sections[i - 1] : nullptr, i + 1 == m_doc.sections.size());
    }
    close();
    endLine();
    flush();
    return !m_failed;
}

}  // namespace writer

}  // namespace orvane::rtf

namespace orvane {

bool writeRtf(const model::Document& document, Sink& sink) {
    // Running out of memory mid-document must not take the process down; the
    // caller treats false as "no usable output" and discards what was written.
    try {
        rtf::writer::Writer writer(document, sink);
        return writer.documentToRtf();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace orvane
