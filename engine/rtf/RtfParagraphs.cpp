// Paragraphs: \pard and the paragraph words (alignment, indents, spacing,
// tabs, keep and widow control, table membership), and the text read turned
// into runs, runs into paragraphs, and paragraphs put into the blocks or the
// table cell they belong to.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <variant>
#include <vector>

#include "rtf/RtfReaderState.h"

namespace orvane::rtf::reader {

void Reader::resetPara(GroupState& g) {
    g.para = m_defaultPara;
    g.intbl = false;
    g.itap = 0;
    g.lsNum = 0;
    g.ilvl = 0;
    g.tabKind = TabKind::Left;
    g.tabLeader = TabLeader::None;
    if (g.para.lineRule == LineRule::Auto) {
        g.slValue = g.para.lineSpacing == 240 ? 0 : g.para.lineSpacing;
        g.slMult = g.slValue != 0;
    } else {
        g.slValue = g.para.lineRule == LineRule::Exact ? -g.para.lineSpacing : g.para.lineSpacing;
        g.slMult = false;
    }
}

void Reader::applyLineSpacing(GroupState& g) {
    // \slN alone is "at least N" (or exactly -N); with \slmult1 it is N/240 lines.
    if (g.slValue == 0) {
        g.para.lineSpacing = 240;
        g.para.lineRule = LineRule::Auto;
    } else if (g.slMult) {
        g.para.lineSpacing = std::abs(g.slValue);
        g.para.lineRule = LineRule::Auto;
    } else if (g.slValue > 0) {
        g.para.lineSpacing = g.slValue;
        g.para.lineRule = LineRule::AtLeast;
    } else {
        g.para.lineSpacing = -g.slValue;
        g.para.lineRule = LineRule::Exact;
    }
}

bool Reader::handleParaWord(Kw k, const RtfToken& t, GroupState& g) {
    const std::int32_t p = t.param;
    const bool on = !t.hasParam || p != 0;
    ParaProps& a = g.para;
    switch (k) {
    case Kw::k_pard:
        resetPara(g);
        if (g.dest == Dest::Body) ctxOf(g).paraStarted = true;
        return true;
    case Kw::k_ql: a.alignment = Alignment::Left; return true;
    case Kw::k_qc: a.alignment = Alignment::Center; return true;
    case Kw::k_qr: a.alignment = Alignment::Right; return true;
    case Kw::k_qj: a.alignment = Alignment::Justify; return true;
    case Kw::k_qd: a.alignment = Alignment::Distribute; return true;
    case Kw::k_li: case Kw::k_lin: a.leftIndent = clampTwips(p); return true;
    case Kw::k_ri: case Kw::k_rin: a.rightIndent = clampTwips(p); return true;
    case Kw::k_fi: a.firstLineIndent = clampTwips(p); return true;
    case Kw::k_sb: a.spaceBefore = std::max<Twips>(0, clampTwips(p)); return true;
    case Kw::k_sa: a.spaceAfter = std::max<Twips>(0, clampTwips(p)); return true;
    case Kw::k_sl:
        g.slValue = clampTwips(p);
        applyLineSpacing(g);
        return true;
    case Kw::k_slmult:
        g.slMult = on;
        applyLineSpacing(g);
        return true;
    case Kw::k_keepn: a.keepNext = on; return true;
    case Kw::k_contextualspace: a.contextualSpacing = on; return true;
    case Kw::k_sbauto: a.autoSpaceBefore = on; return true;
    case Kw::k_saauto: a.autoSpaceAfter = on; return true;
    case Kw::k_keep: a.keepLines = on; return true;
    case Kw::k_pagebb: a.pageBreakBefore = on; return true;
    case Kw::k_widctlpar: a.widowControl = true; return true;
    case Kw::k_nowidctlpar: a.widowControl = false; return true;
    case Kw::k_rtlpar: a.rtl = true; return true;
    case Kw::k_ltrpar: a.rtl = false; return true;
    case Kw::k_outlinelevel:
        if (p >= 0 && p <= 8) a.outlineLevel = p;
        else a.outlineLevel.reset();
        return true;
    case Kw::k_tqr: g.tabKind = TabKind::Right; return true;
    case Kw::k_tqc: g.tabKind = TabKind::Center; return true;
    case Kw::k_tqdec: g.tabKind = TabKind::Decimal; return true;
    case Kw::k_tldot: g.tabLeader = TabLeader::Dots; return true;
    case Kw::k_tlhyph: g.tabLeader = TabLeader::Hyphens; return true;
    case Kw::k_tlul: g.tabLeader = TabLeader::Underline; return true;
    case Kw::k_tlth: g.tabLeader = TabLeader::ThickLine; return true;
    case Kw::k_tleq: g.tabLeader = TabLeader::Equals; return true;
    case Kw::k_tlmdot: g.tabLeader = TabLeader::MiddleDots; return true;
    case Kw::k_tx: case Kw::k_tb: {
        TabStop tab;
        tab.position = clampTwips(p);
        tab.kind = k == Kw::k_tb ? TabKind::Bar : g.tabKind;
        tab.leader = g.tabLeader;
        if (static_cast<int>(a.tabs.size()) < kMaxTabs) a.tabs.push_back(tab);
        g.tabKind = TabKind::Left;
        g.tabLeader = TabLeader::None;
        return true;
    }
    case Kw::k_cbpat: a.shading = p > 0 ? color(p) : std::nullopt; return true;
    case Kw::k_intbl:
        g.intbl = true;
        if (g.itap == 0) g.itap = 1;
        return true;
    case Kw::k_itap:
        g.itap = std::clamp(p, 0, m_limits.maxNesting);
        g.intbl = g.itap > 0;
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Runs and paragraphs

std::vector<Inline>* Reader::lastParagraphContent(TextContext& ctx) {
    const int level = ctx.lastParaLevel;
    if (level < 0) return nullptr;
    std::vector<Block>* container = &ctx.blocks;
    if (level > 0) {
        if (ctx.tables.size() < static_cast<std::size_t>(level)) return nullptr;
        container = &ctx.tables[static_cast<std::size_t>(level) - 1].cellBlocks;
    }
    if (ctx.lastParaIndex >= container->size()) return nullptr;
    auto* para = std::get_if<Paragraph>(&(*container)[ctx.lastParaIndex].value);
    return para ? &para->content : nullptr;
}

std::vector<Inline>& Reader::inlineTarget(TextContext& ctx) {
    if (!ctx.fields.empty() && !ctx.fields.back().broken) return ctx.fields.back().result;
    return ctx.content;
}

void Reader::flushRun(TextContext& ctx) {
    if (ctx.runText.empty()) return;
    std::vector<Inline>& target = inlineTarget(ctx);
    std::optional<Revision> revision = revisionOf(ctx.runRevision);
    if (!target.empty()) {
        if (auto* last = std::get_if<TextRun>(&target.back().value);
            last && last->props == ctx.runProps && last->revision == revision) {
            last->text.append(ctx.runText);
            ctx.runText.clear();
            return;
        }
    }
    // Copied, not moved: the buffer keeps its capacity for the next run, so a
    // run costs one allocation of its exact size.
    TextRun run;
    run.text = ctx.runText;
    run.props = ctx.runProps;
    run.revision = std::move(revision);
    appendInline(target, std::move(run));
    ctx.runText.clear();
}

void Reader::endParagraph(TextContext& ctx, int level) {
    GroupState& g = top();
    flushRun(ctx);
    breakFields(ctx);
    Paragraph para;
    para.props = g.para;
    para.props.list.reset();
    if (g.lsNum != 0) {
        const auto it = m_lsIndex.find(g.lsNum);
        if (it != m_lsIndex.end()) para.props.list = ListRef{it->second, g.ilvl};
    }
    para.markProps = g.chars;
    para.markRevision = revisionOf(g.revision);
    para.content = std::move(ctx.content);
    ctx.content.clear();
    ctx.paraStarted = false;
    const int lvl = level >= 0 ? level : itapOf(g);
    std::vector<Block>& container = containerFor(ctx, lvl);
    container.push_back(Block{std::move(para)});
    ctx.lastParaLevel = std::clamp(lvl, 0, m_limits.maxNesting);
    ctx.lastParaIndex = container.size() - 1;
    for (Block& b : ctx.asides) container.push_back(std::move(b));
    ctx.asides.clear();
    m_lastWasShppict = false;
}

std::vector<Block>& Reader::containerFor(TextContext& ctx, int level) {
    const std::size_t lvl = static_cast<std::size_t>(std::clamp(level, 0, m_limits.maxNesting));
    closeTables(ctx, lvl);
    if (lvl == 0) return ctx.blocks;
    while (ctx.tables.size() < lvl) ctx.tables.emplace_back();
    return ctx.tables[lvl - 1].cellBlocks;
}

void Reader::finishContextBlocks(TextContext& ctx) {
    if (hasPendingParagraph(ctx)) endParagraph(ctx, -1);
    closeTables(ctx, 0);
    for (Block& b : ctx.asides) ctx.blocks.push_back(std::move(b));
    ctx.asides.clear();
}

}  // namespace orvane::rtf::reader
