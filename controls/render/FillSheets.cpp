#include "controls/render/FillSheets.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <memory>

#include "controls/GDIPFill.h"
#include "controls/GDIPPainters.h"
#include "controls/ImageList.h"
#include "controls/MarkupRenderer.h"
#include "controls/render/Canvas.h"

namespace {

QImage Sample(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(40 + 200 * x / w, 90, 40 + 200 * y / h));
    QPainter p(&image);
    p.setPen(Qt::white);
    p.drawEllipse(2, 2, w - 5, h - 5);
    return image;
}

void LoadInto(TGDIPPicture& picture, const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    TMemoryStream stream;
    stream.WriteBuffer(bytes.constData(), bytes.size());
    picture.LoadFromStream(&stream);
}

}  // namespace

QImage FillsSheet()
{
    Canvas c(560);
    const TRect cell{0, 0, 170, 60};
    struct Kind {
        const char* name;
        TGradientType type;
    } kinds[] = {{"solid", gtSolid},       {"vertical", gtVertical}, {"horizontal", gtHorizontal},
                 {"forward diagonal", gtForwardDiagonal}, {"backward diagonal", gtBackwardDiagonal},
                 {"angle 30", gtAngle},    {"hatch", gtHatch},       {"radial", gtRadial}};
    int i = 0;
    for (const Kind& k : kinds) {
        const int x = 10 + (i % 4) * 185, y = 20 + (i / 4) * 85;
        c.Label(x, y - 16, k.name);
        TGDIPFill fill;
        fill.SetGradientType(k.type);
        fill.SetColor(RGB(250, 200, 80));
        fill.SetColorTo(RGB(200, 60, 30));
        fill.SetAngle(30);
        fill.SetHatchStyle(HatchStyleDiagonalCross);
        fill.SetBorderColor(RGB(90, 40, 20));
        fill.Fill(&c.G(), MakeRect(float(x), float(y), float(cell.Right), float(cell.Bottom)));
        ++i;
    }
    // Mirror halves, shadow, roundings and focus.
    const TFillRoundingType roundings[] = {rtNone, rtTop, rtBottom, rtBoth, rtLeft, rtRight};
    const char* names[] = {"mirror, no rounding", "rounded top", "rounded bottom", "rounded, shadow 6",
                           "rounded left", "rounded right, focus"};
    for (int r = 0; r < 6; ++r) {
        const int x = 10 + (r % 4) * 185, y = 200 + (r / 4) * 95;
        c.Label(x, y - 16, names[r]);
        TGDIPFill fill;
        fill.SetColor(RGB(230, 240, 255));
        fill.SetColorTo(RGB(170, 200, 240));
        fill.SetColorMirror(RGB(120, 160, 220));
        fill.SetColorMirrorTo(RGB(180, 210, 250));
        fill.SetGradientMirrorType(r == 2 ? gtRadial : gtVertical);
        fill.SetRounding(r == 0 ? 0 : 12);
        fill.SetRoundingType(roundings[r]);
        fill.SetBorderColor(RGB(40, 70, 140));
        fill.SetShadowOffset(r == 3 ? 6 : 0);
        fill.Focus = r == 5;
        fill.Fill(&c.G(), MakeRect(float(x), float(y), 170.f, 70.f));
    }
    c.Label(10, 400, "texture tiled; thin 1-px fill as a line");
    TGDIPFill texture;
    texture.SetGradientType(gtTexture);
    texture.SetBackGroundPicturePosition(ppTiled);
    LoadInto(*texture.BackGroundPicture(), Sample(24, 24), "png");
    texture.SetRounding(10);
    texture.SetBorderColor(colors::clBlack);
    texture.Fill(&c.G(), MakeRect(10.f, 420.f, 355.f, 80.f));
    TGDIPFill thin;
    thin.SetBorderColor(colors::clRed);
    thin.SetBorderWidth(2);
    thin.Fill(&c.G(), MakeRect(380.f, 460.f, 360.f, 1.f));
    return c.Finish();
}

QImage PicturesSheet()
{
    Canvas c(330);
    const char* positions[] = {"top left", "top center", "top right", "bottom left", "bottom center",
                               "bottom right", "tiled", "stretched", "center left", "center center",
                               "center right", "custom (absolute 120, 40 in)"};
    for (int p = 0; p < 12; ++p) {
        const int x = 10 + (p % 4) * 185, y = 20 + (p / 4) * 100;
        c.Label(x, y - 16, positions[p]);
        TGDIPFill fill;
        fill.SetColor(RGB(240, 240, 240));
        fill.SetColorTo(RGB(210, 210, 210));
        fill.SetBorderColor(colors::clGray);
        LoadInto(*fill.Picture(), Sample(32, 24), "png");
        fill.SetPicturePosition(TFillPicturePosition(p));
        // Custom positions are on the surface, not in the fill's rectangle.
        fill.SetPictureLeft(x + 120);
        fill.SetPictureTop(y + 40);
        fill.Fill(&c.G(), MakeRect(float(x), float(y), 170.f, 75.f));
    }
    return c.Finish();
}

QImage MarkupSheet()
{
    Canvas c(300);
    TImageList images;
    images.Add(Sample(16, 16));
    MarkupParams p;
    p.Graphics = &c.G();
    p.Font.SetName("Arial");
    p.Font.SetSize(10);
    p.Images = &images;
    p.WordWrap = true;
    p.Text =
        "<P ALIGN=\"CENTER\"><B>Caption markup</B> &amp; <I>entities</I>: &lt;B&gt; &euro; &copy;</P>"
        "<FONT COLOR=\"#C00000\">red</FONT>, <FONT COLOR=\"clNavy\" SIZE=\"4\">navy 14 pt</FONT>, "
        "<U>under</U>, <S>struck</S>, <HI>highlighted</HI>, <E>misspelt</E>, H<SUB>2</SUB>O x<SUP>2</SUP><BR>"
        "<SHAD>shadowed text</SHAD> and a <A HREF=\"http://example\">link</A> and a picture "
        "<IMG SRC=\"IDX:0\" ALIGN=\"MIDDLE\"><HR>"
        "<UL><LI>first item</LI><LI>second item</LI><UL><LI>nested</LI></UL></UL>"
        "<P BGCOLOR=\"#FFF0C0\" BGCOLORTO=\"#FFFFFF\" INDENT=\"20\">a long paragraph that word wrap breaks into "
        "several lines inside the rectangle, never moving the first word of a line down</P><Z>hidden</Z>";
    p.R = TRect{10, 10, 380, 290};
    MarkupResult r;
    RenderMarkup(p, r);
    TGPPen frame(MakeColor(255, 200, 200, 200), 1.f);
    c.G().DrawRectangle(&frame, 10.f, 10.f, 370.f, 280.f);
    p.R = TRect{400, 10, 750, 290};
    p.WordWrap = false;
    p.Text = "<BODY BGCOLOR=\"#E0F0FF\" BGCOLORTO=\"#FFFFFF\">no word wrap: a line that runs past the right "
             "edge<BR><P ALIGN=\"RIGHT\">right aligned</P><FONT FACE=\"DejaVu Serif\" SIZE=\"5\">serif 16 pt</FONT>";
    RenderMarkup(p, r);
    return c.Finish();
}

// Progress bars, status badges, buttons and LED digits in a few states.
QImage PaintersSheet()
{
    Canvas c(430);
    TGPGraphics* g = &c.G();

    TGDIPProgress progress;
    progress.ValueVisible = true;
    progress.ValueType = vtPercentage;
    const TGDIPProgressValuePosition positions[] = {vpCenter, vpProgressCenter, vpProgressRight, vpLeft};
    const char* positionNames[] = {"0 % centre", "35 % on progress", "70 % progress right", "100 % left"};
    for (int i = 0; i < 4; ++i) {
        progress.ValuePosition = positions[i];
        progress.Transparent = i == 3;
        c.Label(10 + i * 185, 8, positionNames[i]);
        progress.Draw(g, TRect{10 + i * 185, 24, 10 + i * 185 + 170, 44}, 0, 100, i == 3 ? 100 : i * 35);
    }

    TGDIPStatus status;
    const char* captions[] = {"3", "12", "New", "1234"};
    for (int i = 0; i < 4; ++i) {
        status.Glow = i % 2 == 0;
        status.Draw(g, 10 + i * 60, 60, 0, 0, false, captions[i]);
    }
    c.Label(260, 62, "status: glow on, off, on, off; sized to the caption");

    TGDIPPicture picture;
    LoadInto(picture, Sample(20, 20), "png");
    TGDIPButton button;
    const TGDIPButtonLayout layouts[] = {blPictureLeft, blPictureRight, blPictureTop, blPictureBottom};
    const char* states[] = {"normal", "hot", "down", "disabled"};
    for (int i = 0; i < 4; ++i) {
        button.Layout = layouts[i];
        button.ShiftDown = 2;
        c.Label(10 + i * 185, 96, states[i]);
        button.Draw(g, "Button", 10 + i * 185, 112, 150, 56, 4, 6, RGB(200, 220, 250), RGB(150, 180, 230),
                    RGB(90, 110, 160), i == 2, i == 1, i != 3, i == 0, true, rtBoth, &picture, 6, 255, true);
    }

    TGDIPDialogButton dialog;
    dialog.Draw(g, "OK", 10, 186, 90, 30, RGB(230, 230, 230), RGB(190, 190, 190), 4, 255, 200, false, true,
                nullptr, true);
    dialog.Draw(g, "Cancel", 110, 186, 90, 30, RGB(230, 230, 230), RGB(190, 190, 190), 4, 255, 200, true, true,
                &picture, false);
    c.Label(210, 194, "dialog buttons: focused, down with picture");

    c.Label(10, 230, "LED: -12.5 (0.0), 12:34:56 (hh:nn:ss), 1890 (vertical gradient), 8 (hatch)");
    DrawLed(g, TGPRectF{10, 250, 160, 60}, -12.5, "0.0", vtNormal, gtSolid, RGB(200, 30, 30), colors::clNone,
            HatchStyleHorizontal, nullptr);
    DrawLed(g, TGPRectF{190, 250, 240, 60}, (12 * 3600 + 34 * 60 + 56) / 86400.0, "hh:nn:ss", vtDateTime, gtSolid,
            RGB(20, 140, 40), colors::clNone, HatchStyleHorizontal, nullptr);
    DrawLed(g, TGPRectF{450, 250, 160, 60}, 1890, "0", vtNormal, gtVertical, RGB(40, 80, 220), RGB(0, 0, 80),
            HatchStyleHorizontal, nullptr);
    DrawLed(g, TGPRectF{630, 250, 50, 60}, 8, "0", vtNormal, gtHatch, colors::clBlack, colors::clYellow,
            HatchStyleDiagonalCross, nullptr);
    DrawLed(g, TGPRectF{10, 330, 300, 80}, 2026.0, "0", vtNormal, gtTexture, colors::clBlack, colors::clNone,
            HatchStyleHorizontal, &picture);
    c.Label(330, 360, "LED through a picture texture");
    return c.Finish();
}
