// States of the contact details dialog, the artwork details dialog and the
// statement page.
#include "app/TForm1.h"
#include "app/TForm13.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "app/render/RenderStates.h"
#include "model/Picture.h"
#include "model/Portfolio.h"

#include <QFileInfo>
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

// An artwork made from a picture drawn for the occasion.
Picture* SampleArtwork(const char* title)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath("evening-harbour.png");
    if (!QFileInfo::exists(path)) {
        QImage image(640, 420, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient sky(0, 0, 0, 420);
        sky.setColorAt(0, QColor(0xFF, 0x99, 0x33));
        sky.setColorAt(1, QColor(0x33, 0x22, 0x66));
        painter.fillRect(image.rect(), sky);
        painter.setBrush(QColor(0x11, 0x22, 0x44));
        painter.drawRect(0, 300, 640, 120);
        painter.end();
        image.save(path);
    }
    auto* picture = new Picture(Form1->GetPortfolio());
    picture->LoadFromFile(path.toStdString());
    picture->SetTitle(title);
    return picture;
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
    Form1->GetPortfolio()->AddPicture(picture);
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

} // namespace

namespace {

const bool statementPage = RegisterRenderState("TFrame2-statement", [] {
    Portfolio* portfolio = Form1->GetPortfolio();
    portfolio->SetStatementTitle("Why I Paint Harbours");
    portfolio->SetStatementText("Harbours are where the land gives up & the sea begins.\r\n\r\n"
                                "I paint them at dusk, when <everything> is the same colour.");
    portfolio->SetStatementFile("/home/ada/Documents/statement.docx");
    portfolio->SetUseStatementFile(true);
    Form1->ShowSelectedPage();
    return static_cast<QWidget*>(Form1);
});

} // namespace
