// The control words the RTF reader knows, as one list: Kw names each of them,
// and two lists below say which open groups that are skipped and which open
// groups the reader understands.
#pragma once

#include <cstdint>

namespace orvane::rtf::reader {

// Control words this reader acts on. Anything else is ignored (or, after \*,
// skipped with its group).

#define ORVANE_RTF_KEYWORDS(X)                                                                      \
    X(rtf) X(ansi) X(mac) X(pc) X(pca) X(ansicpg) X(deff) X(deflang) X(uc) X(u) X(upr) X(ud)       \
    X(fonttbl) X(f) X(fnil) X(froman) X(fswiss) X(fmodern) X(fscript) X(fdecor) X(ftech) X(fbidi)  \
    X(fcharset) X(fprq) X(cpg) X(falt)                                                              \
    X(colortbl) X(red) X(green) X(blue)                                                             \
    X(stylesheet) X(s) X(cs) X(ts) X(ds) X(sbasedon) X(snext)                                       \
    X(listtable) X(list) X(listid) X(listlevel) X(levelnfc) X(levelnfcn) X(levelstartat)            \
    X(leveltext) X(levelnumbers) X(listname) X(listoverridetable) X(listoverride) X(ls) X(ilvl)     \
    X(listtext) X(pntext) X(listpicture)                                                            \
    X(info) X(title) X(subject) X(author) X(keywords) X(doccomm) X(creatim) X(revtim)              \
    X(yr) X(mo) X(dy) X(hr) X(min) X(sec)                                                           \
    X(defchp) X(defpap)                                                                             \
    X(paperw) X(paperh) X(margl) X(margr) X(margt) X(margb) X(landscape) X(facingp) X(deftab) X(htmautsp) \
    X(sectd) X(sect) X(sbknone) X(sbkcol) X(sbkpage) X(sbkeven) X(sbkodd) X(cols) X(colsx)          \
    X(pgndec) X(pgnucrm) X(pgnlcrm) X(pgnucltr) X(pgnlcltr) X(pgnstarts) X(pgnrestart) X(pgncont)  \
    X(titlepg) X(headery) X(footery) X(pgwsxn) X(pghsxn) X(marglsxn) X(margrsxn) X(margtsxn)       \
    X(margbsxn) X(lndscpsxn)                                                                        \
    X(header) X(headerl) X(headerr) X(headerf) X(footer) X(footerl) X(footerr) X(footerf)         \
    X(pard) X(plain) X(par) X(ql) X(qc) X(qr) X(qj) X(qd) X(li) X(ri) X(lin) X(rin) X(fi) X(sb)    \
    X(contextualspace) X(sbauto) X(saauto) X(sa) X(sl) X(slmult) X(keepn) X(keep) X(pagebb) X(widctlpar) X(nowidctlpar) X(rtlpar)         \
    X(ltrpar) X(outlinelevel) X(tx) X(tb) X(tqr) X(tqc) X(tqdec) X(tldot) X(tlhyph) X(tlul)        \
    X(tlth) X(tleq) X(tlmdot) X(cbpat)                                                              \
    X(b) X(i) X(ul) X(ulw) X(uldb) X(uld) X(uldash) X(uldashd) X(uldashdd) X(ulth) X(ulwave)        \
    X(ulhwave) X(ululdbwave) X(ulthd) X(ulthdash) X(ulldash) X(ulthldash) X(ulthdashd)              \
    X(ulthdashdd) X(ulnone) X(strike) X(striked) X(cf) X(highlight) X(chcbpat) X(cb) X(super)      \
    X(sub) X(nosupersub) X(caps) X(scaps) X(v) X(rtlch) X(ltrch) X(expnd) X(expndtw) X(lang)       \
    X(af) X(dbch) X(hich) X(loch) X(fs)                                                             \
    X(revised) X(deleted) X(revauth) X(revauthdel) X(revdttm) X(revdttmdel)                         \
    X(tab) X(line) X(page) X(column) X(emdash) X(endash) X(bullet) X(lquote) X(rquote)             \
    X(ldblquote) X(rdblquote) X(emspace) X(enspace) X(qmspace) X(zwj) X(zwnj) X(ltrmark)           \
    X(rtlmark) X(zwbo) X(zwnbo) X(chpgn) X(chftn) X(chatn) X(lbr)                                   \
    X(field) X(fldinst) X(fldrslt) X(bkmkstart) X(bkmkend)                                          \
    X(pict) X(pngblip) X(jpegblip) X(emfblip) X(wmetafile) X(macpict) X(dibitmap) X(wbitmap)       \
    X(pmmetafile) X(picw) X(pich) X(picwgoal) X(pichgoal) X(picscalex) X(picscaley) X(bin)         \
    X(shppict) X(nonshppict)                                                                        \
    X(trowd) X(cellx) X(clvmgf) X(clvmrg) X(clmgf) X(clmrg) X(clvertalt) X(clvertalc) X(clvertalb) \
    X(clcbpat) X(clbrdrt) X(clbrdrb) X(clbrdrl) X(clbrdrr) X(brdrnone) X(brdrnil) X(brdrw)          \
    X(brdrcf) X(brdrsp) X(brdrtbl) X(brdrt) X(brdrb) X(brdrl) X(brdrr) X(brdrbtw) X(brdrbar) X(box) \
    X(brdrs) X(brdrth) X(brdrsh) X(brdrdb) X(brdrdot) X(brdrdash) X(brdrdashd) X(brdrdashdd)        \
    X(brdrtriple) X(brdrtnthsg) X(brdrthtnsg) X(brdrtnthtnsg) X(brdrtnthmg) X(brdrthtnmg)           \
    X(brdrtnthtnmg) X(brdrtnthlg) X(brdrthtnlg) X(brdrtnthtnlg) X(brdrwavy) X(brdrwavydb)           \
    X(brdrdashsm) X(brdrdashdotstr) X(brdremboss) X(brdrengrave) X(brdroutset) X(brdrinset)         \
    X(brdrhair) X(brdrframe) X(trbrdrt) X(trbrdrl) X(trbrdrb) X(trbrdrr) X(trbrdrh) X(trbrdrv)      \
    X(trrh) X(trhdr) X(trleft) X(trql) X(trqc) X(trqr) X(intbl) X(itap) X(cell) X(row)             \
    X(trgaph) X(trpaddl) X(trpaddr) X(trpaddt) X(trpaddb) X(trpaddfl) X(trpaddfr) X(trpaddft)      \
    X(trpaddfb)                                                                                     \
    X(nestcell) X(nestrow) X(nesttableprops) X(nonesttables)                                        \
    X(footnote) X(annotation) X(shp) X(shpinst) X(shptxt) X(shprslt) X(sp) X(sn) X(sv) X(object)   \
    X(result) X(objdata) X(objclass) X(objname) X(do) X(dptxbx) X(shpgrp)                           \
    X(filetbl) X(revtbl) X(rsidtbl) X(xmlnstbl) X(themedata) X(colorschememapping) X(datastore)    \
    X(latentstyles) X(generator) X(pgdsctbl) X(xe) X(tc) X(tcn) X(txe) X(rxe) X(bxe) X(ixe)        \
    X(pn) X(pntxta) X(pntxtb) X(pnseclvl) X(template) X(userprops) X(docvar) X(nextfile)           \
    X(ftnsep) X(ftnsepc) X(ftncn) X(aftnsep) X(aftnsepc) X(aftncn) X(background) X(atnid)          \
    X(atnauthor) X(atntime) X(atnicn) X(atnref) X(atndate) X(atnparent) X(atrfstart) X(atrfend)     \
    X(fldtype) X(formfield) X(datafield) X(wgrffmtfilter) X(mhtmltag) X(htmltag) X(operator)       \
    X(comment) X(company) X(manager) X(category) X(hlinkbase) X(buptim) X(printim) X(keycode)       \
    X(fontemb) X(fontfile) X(panose) X(fname) X(blipuid) X(picprop) X(oldcprops) X(oldpprops)      \
    X(oldsprops) X(oldtprops) X(pgp) X(mmathPr) X(mmath) X(xmlopen) X(xmlclose) X(xmlattrname)      \
    X(xmlattrvalue) X(factoidname) X(rsidroot) X(txfieldtext) X(ebcstart) X(ebcend)

enum class Kw : std::uint16_t {
    Unknown,
#define ORVANE_RTF_ENUM(name) k_##name,
    ORVANE_RTF_KEYWORDS(ORVANE_RTF_ENUM)
#undef ORVANE_RTF_ENUM
};

// Groups whose content is never text of the document, whether starred or not.
inline bool isSkippedDestination(Kw k) {
    switch (k) {
    case Kw::k_filetbl: case Kw::k_rsidtbl: case Kw::k_xmlnstbl:
    case Kw::k_themedata: case Kw::k_colorschememapping: case Kw::k_datastore:
    case Kw::k_latentstyles: case Kw::k_generator: case Kw::k_pgdsctbl: case Kw::k_xe:
    case Kw::k_tc: case Kw::k_tcn: case Kw::k_txe: case Kw::k_rxe: case Kw::k_bxe: case Kw::k_ixe:
    case Kw::k_pn: case Kw::k_pntxta: case Kw::k_pntxtb: case Kw::k_pnseclvl: case Kw::k_template:
    case Kw::k_userprops: case Kw::k_docvar: case Kw::k_nextfile: case Kw::k_ftnsep:
    case Kw::k_ftnsepc: case Kw::k_ftncn: case Kw::k_aftnsep: case Kw::k_aftnsepc:
    case Kw::k_aftncn: case Kw::k_background:
    case Kw::k_atntime: case Kw::k_atnicn:
    case Kw::k_atnparent: case Kw::k_fldtype:
    case Kw::k_formfield: case Kw::k_datafield: case Kw::k_wgrffmtfilter: case Kw::k_mhtmltag:
    case Kw::k_htmltag: case Kw::k_operator: case Kw::k_comment: case Kw::k_company:
    case Kw::k_manager: case Kw::k_category: case Kw::k_hlinkbase: case Kw::k_buptim:
    case Kw::k_printim: case Kw::k_keycode: case Kw::k_fontemb: case Kw::k_fontfile:
    case Kw::k_panose: case Kw::k_fname: case Kw::k_blipuid: case Kw::k_picprop:
    case Kw::k_oldcprops: case Kw::k_oldpprops: case Kw::k_oldsprops: case Kw::k_oldtprops:
    case Kw::k_pgp: case Kw::k_mmathPr: case Kw::k_listtext: case Kw::k_listname:
    case Kw::k_levelnumbers: case Kw::k_listpicture: case Kw::k_objdata: case Kw::k_objclass:
    case Kw::k_objname: case Kw::k_nonesttables: case Kw::k_xmlattrname:
    case Kw::k_xmlattrvalue: case Kw::k_factoidname: case Kw::k_txfieldtext:
        return true;
    default:
        return false;
    }
}

// Destinations this reader understands, so a \* in front of them does not
// mean "skip".
inline bool isKnownDestination(Kw k) {
    switch (k) {
    case Kw::k_fonttbl: case Kw::k_falt: case Kw::k_colortbl: case Kw::k_stylesheet:
    case Kw::k_listtable: case Kw::k_listoverridetable: case Kw::k_list: case Kw::k_listlevel:
    case Kw::k_listoverride: case Kw::k_leveltext: case Kw::k_info: case Kw::k_title:
    case Kw::k_subject: case Kw::k_author: case Kw::k_keywords: case Kw::k_doccomm:
    case Kw::k_creatim: case Kw::k_revtim: case Kw::k_defchp: case Kw::k_defpap:
    case Kw::k_header: case Kw::k_headerl: case Kw::k_headerr: case Kw::k_headerf:
    case Kw::k_footer: case Kw::k_footerl: case Kw::k_footerr: case Kw::k_footerf:
    case Kw::k_field: case Kw::k_fldinst: case Kw::k_fldrslt: case Kw::k_bkmkstart:
    case Kw::k_bkmkend: case Kw::k_pict: case Kw::k_shppict: case Kw::k_nonshppict:
    case Kw::k_nesttableprops: case Kw::k_footnote: case Kw::k_annotation: case Kw::k_shp:
    case Kw::k_shpinst: case Kw::k_shptxt: case Kw::k_shprslt: case Kw::k_sp: case Kw::k_sv:
    case Kw::k_object: case Kw::k_result: case Kw::k_do: case Kw::k_dptxbx: case Kw::k_shpgrp:
    case Kw::k_ud: case Kw::k_upr: case Kw::k_pntext: case Kw::k_atnid: case Kw::k_atnauthor:
    case Kw::k_atnref: case Kw::k_atndate: case Kw::k_atrfstart: case Kw::k_atrfend: case Kw::k_sn:
    case Kw::k_revtbl:
        return true;
    default:
        return false;
    }
}

}  // namespace orvane::rtf::reader
