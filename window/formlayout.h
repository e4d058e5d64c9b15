#pragma once

#include <QRect>
#include <QRgb>
#include <QString>

#include <optional>
#include <vector>

namespace Quorin {

// All window geometry is in twips: 1/1440 inch, 15 twips to a pixel at 96 dpi.
[[nodiscard]] int twipsToPixels(int twips, qreal logicalDpi);

enum class Face {
    SansSerif, // MS Sans Serif where it exists
    Arial,
};

struct FontSpec
{
    Face face;
    qreal pointSize;
    bool bold;
};

// One control of a layout: where it sits, its place in the tab order, its font.
struct Placement
{
    const char *name; // the control's objectName
    int left;
    int top;
    int width;
    int height;
    int tabIndex; // -1 for a control without one
    std::optional<FontSpec> font;

    [[nodiscard]] QRect pixelRect(qreal logicalDpi) const;
};

// A layout of the window: its client size and colour and where each control goes.
struct FormLayout
{
    int width;  // client area, twips
    int height; // client area, twips
    QRgb background;
    std::vector<Placement> controls;

    [[nodiscard]] const Placement *find(const QString &name) const;
    [[nodiscard]] bool has(const QString &name) const { return find(name) != nullptr; }
};

// The standard reader's window.
[[nodiscard]] const FormLayout &standardLayout();

// The didactic reader's window: the same controls moved down under the echo box.
[[nodiscard]] const FormLayout &didacticLayout();

} // namespace Quorin
