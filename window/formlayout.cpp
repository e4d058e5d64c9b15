#include "formlayout.h"

#include <QtMath>

#include <algorithm>

namespace Quorin {

namespace {

constexpr qreal TwipsPerInch = 1440.0;

constexpr FontSpec Caption{Face::SansSerif, 13.5, true};
constexpr FontSpec ButtonFont{Face::SansSerif, 18, true};
constexpr FontSpec HintFont{Face::SansSerif, 12, true};
constexpr FontSpec BigBox{Face::Arial, 48, true};

} // namespace

int twipsToPixels(int twips, qreal logicalDpi)
{
    return qRound(twips * logicalDpi / TwipsPerInch);
}

QRect Placement::pixelRect(qreal logicalDpi) const
{
    return {twipsToPixels(left, logicalDpi), twipsToPixels(top, logicalDpi),
            twipsToPixels(width, logicalDpi), twipsToPixels(height, logicalDpi)};
}

const Placement *FormLayout::find(const QString &name) const
{
    const auto it = std::find_if(controls.begin(), controls.end(), [&name](const Placement &p) {
        return name == QLatin1String(p.name);
    });
    return it == controls.end() ? nullptr : &*it;
}

const FormLayout &standardLayout()
{
    static const FormLayout layout{12450,
                                   4755,
                                   qRgb(255, 128, 0),
                                   {
                                       // name       left   top  width height tab  font
                                       {"Label3", 480, 240, 2775, 495, 5, Caption},
                                       {"Option1", 480, 1200, 1335, 252, 0, Caption},
                                       {"Shape1", 2040, 720, 735, 1095, -1, std::nullopt},
                                       {"Label2", 4320, 480, 1335, 975, 6, Caption},
                                       {"Text1", 5760, 240, 3735, 1305, 4, BigBox},
                                       {"Label4", 9720, 720, 1455, 375, 7, Caption},
                                       {"Command1", 2160, 2040, 4095, 975, 3, ButtonFont},
                                       {"Command2", 6720, 2040, 2295, 975, 2, ButtonFont},
                                       {"Command3", 9480, 2040, 1455, 975, 1, ButtonFont},
                                       {"Label5", 360, 3480, 3015, 975, 8, HintFont},
                                   }};
    return layout;
}

const FormLayout &didacticLayout()
{
    static const FormLayout layout{12450,
                                   7320,
                                   qRgb(0, 192, 192),
                                   {
                                       // name       left   top  width height tab  font
                                       {"Label1", 4920, 120, 2775, 495, 7, Caption},
                                       {"Text9", 240, 720, 11655, 1245, 4, BigBox},
                                       {"Label3", 480, 2520, 2775, 495, 6, Caption},
                                       {"Option1", 480, 3480, 1335, 252, 0, Caption},
                                       {"Shape1", 2040, 3000, 735, 1095, -1, std::nullopt},
                                       {"Label2", 4320, 2760, 1335, 975, 8, Caption},
                                       {"Text1", 5760, 2520, 3735, 1305, 5, BigBox},
                                       {"Label4", 9720, 3000, 1455, 375, 9, Caption},
                                       {"Command1", 2160, 4320, 4095, 975, 3, ButtonFont},
                                       {"Command2", 6720, 4320, 2295, 975, 2, ButtonFont},
                                       {"Command3", 9480, 4320, 1455, 975, 1, ButtonFont},
                                       {"Label5", 360, 5760, 3015, 975, 10, HintFont},
                                   }};
    return layout;
}

} // namespace Quorin
