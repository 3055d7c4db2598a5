// States of the contact details dialog, the artwork details dialog and the
// statement page.
#include "app/TForm1.h"
#include "app/TForm13.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "app/TOpenPictureDialog.h"
#include "app/render/RenderStates.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "model/Picture.h"
#include "model/Portfolio.h"

#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QPen>
#include <QTransform>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <memory>

namespace {

const bool contactDetails = RegisterRenderState("TForm5-contact-details", [] {
    // The main window owns it, as it owns the one it makes for each use.
    auto* dialog = new TForm5(Form1);
    Portfolio* portfolio = Form1->GetPortfolio();
    portfolio->SetName("Ada Painter");
    portfolio->SetPhone("+44 20 7946 0000");
    portfolio->SetEmail("ada@example.org");
    portfolio->SetWebsiteAddress("ada.example.org");
    portfolio->SetAddress("12 Canal Street\r\nLeeds\r\nLS1 4AB");
    portfolio->SetCVFile("/home/ada/Documents/cv-2026.doc");
    portfolio->SetUseCVFile(true);
    dialog->LoadDetails(portfolio);
    return static_cast<QWidget*>(dialog);
});

} // namespace

namespace {

// A picture drawn for the occasion: a sky from `top` to `bottom` over a
// dark sea, saved once under the name.
QString SamplePicture(const char* name, QColor top, QColor bottom, int width = 640, int height = 420)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(name);
    if (!QFileInfo::exists(path)) {
        QImage image(width, height, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient sky(0, 0, 0, height);
        sky.setColorAt(0, top);
        sky.setColorAt(1, bottom);
        painter.fillRect(image.rect(), sky);
        painter.setBrush(QColor(0x11, 0x22, 0x44));
        painter.drawRect(0, height * 5 / 7, width, height);
        painter.end();
        image.save(path);
    }
    return path;
}

// An artwork made from a picture drawn for the occasion.
Picture* SampleArtwork(const char* title, const QString& path = {})
{
    auto* picture = new Picture(Form1->GetPortfolio());
    picture->LoadFromFile(
        (path.isEmpty() ? SamplePicture("evening-harbour.png", QColor(0xFF, 0x99, 0x33), QColor(0x33, 0x22, 0x66))
                        : path)
            .toStdString());
    picture->SetTitle(title);
    return picture;
}

// Adds the artwork as the program does: to the strip, then the portfolio.
Picture* AddToStrip(Picture* picture)
{
    Form1->AddPictureToStrip(picture);
    Form1->GetPortfolio()->AddPicture(picture);
    return picture;
}

// Selects the strip item and shows its page, as a click on it does.
QWidget* ShowPage(int index)
{
    Form1->SmoothImageListBox1->SetSelectedItemIndex(index);
    Form1->ShowSelectedPage();
    return Form1;
}

// The page of the artwork added last, whatever states ran before.
QWidget* ShowLastArtwork()
{
    return ShowPage(Form1->SmoothImageListBox1->Items()->Count() - 2);
}

const bool artworkAdd = RegisterRenderState("TForm2-add", [] {
    // As the dialog stands once the new artwork's file was chosen.
    static std::unique_ptr<Picture> added(SampleArtwork(""));
    Form2->LoadArtwork(added.get());
    Form2->setWindowTitle("Add Artwork");
    return static_cast<QWidget*>(Form2);
});

const bool artworkEdit = RegisterRenderState("TForm2-edit", [] {
    Picture* picture = SampleArtwork("Evening Harbour");
    picture->SetMedia("Oil on canvas");
    picture->SetDimensions("64 x 42 cm");
    picture->SetDescription("The harbour at dusk, from the north pier.");
    AddToStrip(picture);
    Form2->LoadArtwork(picture);
    return static_cast<QWidget*>(Form2);
});

const bool cropMovedBars = RegisterRenderState("TForm13-moved-bars", [] {
    static std::unique_ptr<Picture> picture(SampleArtwork("Evening Harbour"));
    Form13->LoadPicture(picture.get());
    // The top edge under the sky's upper part, the others drawn in a little.
    const struct {
        const char* bar;
        int by;
    } moves[] = {{"ScrollBar1", 40}, {"ScrollBar2", -30}, {"ScrollBar3", 60}, {"ScrollBar4", -90}};
    for (const auto& move : moves) {
        auto* bar = Form13->findChild<QScrollBar*>(move.bar);
        bar->setValue(bar->value() + move.by);
    }
    return static_cast<QWidget*>(Form13);
});

const bool cropPortrait = RegisterRenderState("TForm13-portrait-moved-bars", [] {
    static std::unique_ptr<Picture> picture(SampleArtwork(
        "Lighthouse", SamplePicture("lighthouse.png", QColor(0x66, 0xAA, 0xEE), QColor(0xEE, 0xDD, 0xAA), 420, 640)));
    Form13->LoadPicture(picture.get());
    const struct {
        const char* bar;
        int by;
    } moves[] = {{"ScrollBar1", 70}, {"ScrollBar2", -40}, {"ScrollBar3", 30}, {"ScrollBar4", -50}};
    for (const auto& move : moves) {
        auto* bar = Form13->findChild<QScrollBar*>(move.bar);
        bar->setValue(bar->value() + move.by);
    }
    return static_cast<QWidget*>(Form13);
});

// The artwork dialog's picture chooser as it opens on a folder of pictures,
// in the detail view with its size column.
const bool pictureChooser = RegisterRenderState("TOpenPictureDialog-details", [] {
    static TOpenPictureDialog chooser;
    chooser.Title = "Select an image...";
    chooser.Filter = TOpenPictureDialog::kArtworkFilter;
    chooser.FileName = SamplePicture("evening-harbour.png", QColor(0xFF, 0x99, 0x33), QColor(0x33, 0x22, 0x66)).toStdString();
    chooser.InitialDir = QFileInfo(QString::fromStdString(chooser.FileName)).absolutePath().toStdString();
    // The main window owns it and deletes it with the other forms.
    QFileDialog* dialog = chooser.MakeDialog(Form1).release();
    dialog->setViewMode(QFileDialog::Detail);
    return static_cast<QWidget*>(dialog);
});

} // namespace

namespace {

const bool threeArtworks = RegisterRenderState("TForm1-three-artworks", [] {
    Picture* harbour = AddToStrip(SampleArtwork("Evening Harbour"));
    harbour->SetMedia("Oil on canvas");
    harbour->SetDimensions("64 x 42 cm");
    AddToStrip(SampleArtwork("Morning Field", SamplePicture("morning-field.png", QColor(0x99, 0xCC, 0xFF),
                                                            QColor(0xFF, 0xEE, 0xAA), 400, 560)));
    AddToStrip(SampleArtwork("Grey Noon", SamplePicture("grey-noon.png", QColor(0xDD, 0xDD, 0xDD),
                                                        QColor(0x77, 0x88, 0x99), 600, 600)));
    return ShowPage(2);
});

// The first artwork: nothing to its left.
const bool artworkPage = RegisterRenderState("TFrame1-artwork", [] { return ShowPage(1); });

// A drawing with a transparent background and black lettering: it shows
// over white, its lettering readable.
const bool transparentArtwork = RegisterRenderState("TFrame1-transparent-drawing", [] {
    static QTemporaryDir folder;
    const QString path = folder.filePath("lettering.png");
    QImage image(560, 380, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 6));
    painter.drawEllipse(QRect(30, 30, 500, 320));
    QFont font = painter.font();
    font.setPixelSize(64);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, "Black Ink");
    painter.end();
    image.save(path);
    AddToStrip(SampleArtwork("Black Ink", path));
    return ShowLastArtwork();
});

// A portrait from a camera held on its side: stored lying down, with the
// EXIF orientation 6 that says to turn it a quarter clockwise.
QString CameraPortrait()
{
    static QTemporaryDir folder;
    const QString path = folder.filePath("camera-portrait.jpg");
    QImage upright(420, 640, QImage::Format_RGB32);
    QPainter painter(&upright);
    QLinearGradient sky(0, 0, 0, 640);
    sky.setColorAt(0, QColor(0x88, 0xBB, 0xEE));
    sky.setColorAt(1, QColor(0xEE, 0xDD, 0xBB));
    painter.fillRect(upright.rect(), sky);
    painter.setBrush(QColor(0x33, 0x44, 0x22));
    painter.drawRect(0, 500, 420, 140);  // ground at the bottom
    painter.setBrush(QColor(0xAA, 0x33, 0x22));
    painter.drawRect(180, 200, 60, 300);  // a tower standing on it
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    upright.transformed(QTransform().rotate(-90)).save(&buffer, "JPEG", 92);
    // APP1 with one big-endian IFD entry: orientation (0x0112), SHORT, 6.
    const QByteArray exif = QByteArray("Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xFF)).append(exif);
    jpeg.insert(2, app1);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(jpeg);
    return path;
}

const bool cameraArtwork = RegisterRenderState("TFrame1-camera-portrait", [] {
    AddToStrip(SampleArtwork("Tower", CameraPortrait()));
    return ShowLastArtwork();
});

const bool statementPage = RegisterRenderState("TFrame2-statement", [] {
    Portfolio* portfolio = Form1->GetPortfolio();
    portfolio->SetStatementTitle("Why I Paint Harbours");
    portfolio->SetStatementText("Harbours are where the land gives up & the sea begins.\r\n\r\n"
                                "I paint them at dusk, when <everything> is the same colour.");
    portfolio->SetStatementFile("/home/ada/Documents/statement.docx");
    portfolio->SetUseStatementFile(true);
    return ShowPage(0);
});

} // namespace
