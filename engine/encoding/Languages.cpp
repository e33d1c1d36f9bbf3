#include "encoding/Languages.h"

#include <charconv>

namespace orvane::encoding {

int languageId(std::string_view tag) {
    struct Lang {
        std::string_view tag;
        int id;
    };
    // The languages Word documents name most; a bare language code maps to
    // its main country.
    static constexpr Lang kLangs[] = {
        {"af-za", 0x0436}, {"ar-sa", 0x0401}, {"ar-eg", 0x0c01}, {"ar-ae", 0x3801},
        {"ar-ma", 0x1801}, {"ar-dz", 0x1401}, {"ar-iq", 0x0801}, {"ar-jo", 0x2c01},
        {"ar-lb", 0x3001}, {"ar-sy", 0x2801}, {"ar-tn", 0x1c01}, {"ar", 0x0401},
        {"bg-bg", 0x0402}, {"bg", 0x0402}, {"ca-es", 0x0403}, {"ca", 0x0403},
        {"cs-cz", 0x0405}, {"cs", 0x0405}, {"cy-gb", 0x0452}, {"da-dk", 0x0406},
        {"da", 0x0406}, {"de-de", 0x0407}, {"de-at", 0x0c07}, {"de-ch", 0x0807},
        {"de-lu", 0x1007}, {"de", 0x0407}, {"el-gr", 0x0408}, {"el", 0x0408},
        {"en-us", 0x0409}, {"en-gb", 0x0809}, {"en-au", 0x0c09}, {"en-ca", 0x1009},
        {"en-nz", 0x1409}, {"en-ie", 0x1809}, {"en-za", 0x1c09}, {"en-in", 0x4009},
        {"en", 0x0409}, {"es-es", 0x0c0a}, {"es-mx", 0x080a}, {"es-ar", 0x2c0a},
        {"es-co", 0x240a}, {"es-cl", 0x340a}, {"es-us", 0x540a}, {"es", 0x0c0a},
        {"et-ee", 0x0425}, {"et", 0x0425}, {"eu-es", 0x042d}, {"fa-ir", 0x0429},
        {"fa", 0x0429}, {"fi-fi", 0x040b}, {"fi", 0x040b}, {"fr-fr", 0x040c},
        {"fr-be", 0x080c}, {"fr-ca", 0x0c0c}, {"fr-ch", 0x100c}, {"fr-lu", 0x140c},
        {"fr", 0x040c}, {"ga-ie", 0x083c}, {"gl-es", 0x0456}, {"he-il", 0x040d},
        {"he", 0x040d}, {"hi-in", 0x0439}, {"hi", 0x0439}, {"hr-hr", 0x041a},
        {"hr", 0x041a}, {"hu-hu", 0x040e}, {"hu", 0x040e}, {"hy-am", 0x042b},
        {"id-id", 0x0421}, {"id", 0x0421}, {"is-is", 0x040f}, {"it-it", 0x0410},
        {"it-ch", 0x0810}, {"it", 0x0410}, {"ja-jp", 0x0411}, {"ja", 0x0411},
        {"ka-ge", 0x0437}, {"kk-kz", 0x043f}, {"ko-kr", 0x0412}, {"ko", 0x0412},
        {"lt-lt", 0x0427}, {"lt", 0x0427}, {"lv-lv", 0x0426}, {"lv", 0x0426},
        {"mk-mk", 0x042f}, {"ms-my", 0x043e}, {"mt-mt", 0x043a}, {"nb-no", 0x0414},
        {"nn-no", 0x0814}, {"no", 0x0414}, {"nl-nl", 0x0413}, {"nl-be", 0x0813},
        {"nl", 0x0413}, {"pl-pl", 0x0415}, {"pl", 0x0415}, {"pt-br", 0x0416},
        {"pt-pt", 0x0816}, {"pt", 0x0816}, {"ro-ro", 0x0418}, {"ro", 0x0418},
        {"ru-ru", 0x0419}, {"ru", 0x0419}, {"sk-sk", 0x041b}, {"sk", 0x041b},
        {"sl-si", 0x0424}, {"sl", 0x0424}, {"sq-al", 0x041c}, {"sr-latn-rs", 0x241a},
        {"sr-cyrl-rs", 0x281a}, {"sr-latn-cs", 0x081a}, {"sr-cyrl-cs", 0x0c1a},
        {"sv-se", 0x041d}, {"sv-fi", 0x081d}, {"sv", 0x041d}, {"sw-ke", 0x0441},
        {"ta-in", 0x0449}, {"th-th", 0x041e}, {"th", 0x041e}, {"tr-tr", 0x041f},
        {"tr", 0x041f}, {"uk-ua", 0x0422}, {"uk", 0x0422}, {"ur-pk", 0x0420},
        {"vi-vn", 0x042a}, {"vi", 0x042a}, {"zh-cn", 0x0804}, {"zh-tw", 0x0404},
        {"zh-hk", 0x0c04}, {"zh-sg", 0x1004}, {"zh-mo", 0x1404}, {"zh", 0x0804},
        {"x-none", 0},
    };
    if (tag.empty() || tag.size() > 20) return 0;
    char buf[24];
    std::size_t n = 0;
    for (char c : tag) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '_') c = '-';
        buf[n++] = c;
    }
    std::string_view lowered(buf, n);
    for (const auto& l : kLangs) {
        if (l.tag == lowered) return l.id;
    }
    // Four hex digits: some producers write the id itself.
    if (n == 4) {
        std::string_view digits = lowered;
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        while (!digits.empty() && blank(digits.front())) digits.remove_prefix(1);
        while (!digits.empty() && blank(digits.back())) digits.remove_suffix(1);
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (!digits.empty() && ec == std::errc() && end == digits.data() + digits.size()) return static_cast<int>(value);
    }
    // Unknown country: fall back to the language.
    const auto dash = lowered.find('-');
    if (dash != std::string_view::npos) {
        const std::string_view lang = lowered.substr(0, dash);
        for (const auto& l : kLangs) {
            if (l.tag == lang) return l.id;
        }
    }
    return 0;
}

}  // namespace orvane::encoding
