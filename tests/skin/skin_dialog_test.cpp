#include <gtest/gtest.h>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QSlider>

#include "resource_ids.h"
#include "skin/skin_dialog.h"
#include "skin/skin_tiling.h"
#include "skin_test_support.h"

namespace {

using skin_test::Picture;

QImage Skin() {
    return QImage(ResourcePath(resource_ids::kSkinBitmap)).convertToFormat(QImage::Format_RGB32);
}

QImage PictureOfSize(SkinDialog& dialog, QSize size) {
    dialog.resize(size);
    return Picture(dialog);
}

// ---- tiling ---------------------------------------------------------------------------

TEST(SkinDialogTiling, ClientSmallerThanTheSkinShowsOneCopyFromTheOrigin) {
    SkinDialog dialog(resource_ids::kMainDialog, resource_ids::kSkinBitmap);
    ASSERT_TRUE(dialog.HasSkin());
    EXPECT_EQ(dialog.SkinSize(), QSize(647, 492));
    EXPECT_EQ(dialog.TemplateId(), resource_ids::kMainDialog);

    EXPECT_EQ(PictureOfSize(dialog, QSize(634, 471)), Skin().copy(0, 0, 634, 471));
    EXPECT_EQ(PictureOfSize(dialog, QSize(647, 492)), Skin());
}

TEST(SkinDialogTiling, OnePixelWiderStartsASecondColumnWithTheSkinsFirstColumn) {
    SkinDialog dialog(resource_ids::kMainDialog, resource_ids::kSkinBitmap);
    const QImage picture = PictureOfSize(dialog, QSize(648, 100));
    const QImage skin = Skin();
    ASSERT_NE(skin.copy(0, 0, 1, 100), skin.copy(646, 0, 1, 100))
        << "the skin's edges differ, so the test can tell";

    EXPECT_EQ(picture.copy(0, 0, 647, 100), skin.copy(0, 0, 647, 100));
    EXPECT_EQ(picture.copy(647, 0, 1, 100), skin.copy(0, 0, 1, 100));
}

TEST(SkinDialogTiling, LargerClientRepeatsTheSkinInRowsAndColumns) {
    SkinDialog dialog(resource_ids::kMainDialog, resource_ids::kSkinBitmap);
    const QImage picture = PictureOfSize(dialog, QSize(1400, 1000));
    const QImage skin = Skin();
    EXPECT_EQ(picture.copy(647, 0, 647, 492), skin);
    EXPECT_EQ(picture.copy(0, 492, 647, 492), skin);
    EXPECT_EQ(picture.copy(1294, 984, 106, 16), skin.copy(0, 0, 106, 16));
}

TEST(SkinDialogTiling, UnloadableBitmapLeavesThePlainBackground) {
    SkinDialog dialog(resource_ids::kMainDialog, 9999);
    dialog.setPalette(skin_test::TestPalette());
    EXPECT_FALSE(dialog.HasSkin());
    EXPECT_EQ(dialog.SkinSize(), QSize(0, 0));

    QImage plain(120, 80, QImage::Format_RGB32);
    plain.fill(skin_test::kWindow);
    EXPECT_EQ(PictureOfSize(dialog, QSize(120, 80)), plain);
}

TEST(TileBitmap, PaintsNothingForAnEmptyClientOrAnEmptyBitmap) {
    QImage canvas(64, 48, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    const QImage untouched = canvas;
    QPixmap bitmap(10, 10);
    bitmap.fill(Qt::green);

    QPainter dc(&canvas);
    TileBitmap(dc, bitmap, QSize(0, 48));
    TileBitmap(dc, bitmap, QSize(64, 0));
    TileBitmap(dc, QPixmap(), QSize(64, 48));
    dc.end();
    EXPECT_EQ(canvas, untouched);
}

TEST(TileBitmap, ClipsAtTheClientEdgeAndKeepsThePaintersClip) {
    QImage canvas(64, 48, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    QPixmap bitmap(10, 10);
    bitmap.fill(Qt::green);

    QPainter dc(&canvas);
    // A derived dialog keeps its video area free of the skin this way.
    dc.setClipRegion(QRegion(0, 0, 64, 48) - QRegion(20, 20, 10, 10));
    TileBitmap(dc, bitmap, QSize(35, 30));
    dc.end();

    EXPECT_EQ(canvas.pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(canvas.pixelColor(34, 29), QColor(Qt::green)) << "the last, partial column and row";
    EXPECT_EQ(canvas.pixelColor(35, 10), QColor(Qt::magenta)) << "right of the client";
    EXPECT_EQ(canvas.pixelColor(10, 30), QColor(Qt::magenta)) << "below the client";
    EXPECT_EQ(canvas.pixelColor(25, 25), QColor(Qt::magenta)) << "the clipped-out area";
}

// ---- controls over the skin -----------------------------------------------------------

// A pixel inside `control` where it draws no text of its own.
QPoint BlankPointOf(const QWidget& control) {
    return control.geometry().topLeft() + QPoint(control.width() - 3, 1);
}

TEST(SkinDialogControls, StaticControlsShowTheSkinWhileOthersKeepTheirColours) {
    SkinDialog dialog(resource_ids::kMainDialog, resource_ids::kSkinBitmap);
    dialog.setPalette(skin_test::TestPalette());
    dialog.resize(400, 300);

    auto* label = new QLabel(QStringLiteral("輸入檔案:"), &dialog);
    label->setGeometry(10, 10, 200, 20);
    auto* check = new QCheckBox(QStringLiteral("必需儲存音訊資料流(&A)"), &dialog);
    check->setAutoFillBackground(true);  // even a control asked to fill shows the skin
    check->setGeometry(10, 40, 250, 20);
    auto* radio = new QRadioButton(QStringLiteral("radio"), &dialog);
    radio->setAutoFillBackground(true);
    radio->setGeometry(10, 70, 200, 20);
    auto* slider = new QSlider(Qt::Horizontal, &dialog);
    slider->setAutoFillBackground(true);
    slider->setGeometry(10, 100, 200, 24);
    auto* list = new QListWidget(&dialog);
    list->setGeometry(10, 140, 200, 80);

    const QImage picture = Picture(dialog);
    const QImage skin = Skin();
    for (const QWidget* control :
         {static_cast<QWidget*>(label), static_cast<QWidget*>(check), static_cast<QWidget*>(radio)}) {
        const QPoint blank = BlankPointOf(*control);
        EXPECT_EQ(picture.pixelColor(blank), skin.pixelColor(blank)) << control->metaObject()->className();
        EXPECT_FALSE(control->autoFillBackground());
    }
    EXPECT_EQ(picture.pixelColor(BlankPointOf(*slider)), skin_test::kWindow)
        << "sliders keep their background";
    EXPECT_TRUE(slider->autoFillBackground());
    EXPECT_EQ(picture.pixelColor(list->geometry().center()), QColor(Qt::white)) << "lists keep their base";
}

TEST(SkinDialogControls, ControlsAddedLaterAndInsideContainersShowTheSkinToo) {
    SkinDialog dialog(resource_ids::kMainDialog, resource_ids::kSkinBitmap);
    dialog.resize(400, 300);
    dialog.show();

    auto* panel = new QWidget(&dialog);
    panel->setGeometry(10, 10, 300, 120);
    auto* inside = new QCheckBox(QStringLiteral("inside"), panel);
    inside->setAutoFillBackground(true);
    inside->setGeometry(20, 10, 200, 20);
    panel->show();

    // Added after the panel was already handled.
    auto* later = new QLabel(QStringLiteral("later"), panel);
    later->setAutoFillBackground(true);
    later->setGeometry(20, 50, 200, 20);
    later->show();

    auto* group = new QGroupBox(QStringLiteral("group"), &dialog);
    group->setAutoFillBackground(true);
    group->setGeometry(10, 140, 300, 60);
    group->show();

    // A control built elsewhere and moved in once polished.
    auto* moved = new QLabel(QStringLiteral("moved in"));
    moved->setAutoFillBackground(true);
    moved->ensurePolished();
    moved->setParent(&dialog);
    moved->setGeometry(10, 250, 200, 20);
    moved->show();
    QLabel outsider(QStringLiteral("not ours"));
    outsider.setAutoFillBackground(true);
    outsider.ensurePolished();

    const QImage picture = Picture(dialog);
    const QImage skin = Skin();
    // The group box's title row, right of the title: its frame starts below.
    const QPoint groupBlank = group->geometry().topLeft() + QPoint(group->width() - 3, 1);
    for (const QPoint blank : {panel->mapTo(&dialog, BlankPointOf(*inside)),
                               panel->mapTo(&dialog, BlankPointOf(*later)), BlankPointOf(*moved), groupBlank})
        EXPECT_EQ(picture.pixelColor(blank), skin.pixelColor(blank)) << blank.x() << "," << blank.y();
    EXPECT_FALSE(group->autoFillBackground());
    EXPECT_TRUE(outsider.autoFillBackground()) << "controls of other windows are left alone";
}

}  // namespace
