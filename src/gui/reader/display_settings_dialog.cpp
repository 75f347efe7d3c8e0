#include "gui/reader/display_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/reader/reading_resume.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/reader/colour_swatch.h"
#include "gui/reader/modal_seam.h"
#include "gui/reader/page_picture.h"
#include "gui/reader/page_renderer.h"
#include "gui/reader/reading_font.h"

namespace quillon {

namespace {
constexpr QSize kPreviewSize(160, 120);

QLineEdit* MakeEdit(QWidget* parent, const char* name, const std::string& text) {
    auto* e = new QLineEdit(FromUtf8(text), parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
}  // namespace

DisplaySettingsDialog::DisplaySettingsDialog(const DisplaySettings& current, QWidget* parent)
    : QDialog(parent), form_(FormFromSettings(current)), stored_(current) {
    setObjectName(QStringLiteral("displaySettingsDialog"));
    setWindowTitle(QStringLiteral("显示参数设置"));
    auto* top = new QHBoxLayout(this);

    auto* left = new QGridLayout;
    top->addLayout(left);
    AddColourRow(0, QStringLiteral("字体颜色"), "textColour", &form_.textColour, true);
    AddColourRow(1, QStringLiteral("背景颜色"), "backColour", &form_.backColour, true);
    AddColourRow(2, QStringLiteral("选中字体颜色"), "selTextColour", &form_.selTextColour, true);
    AddColourRow(3, QStringLiteral("选中背景颜色"), "selBackColour", &form_.selBackColour, true);
    AddColourRow(4, QStringLiteral("字体阴影颜色"), "shadowColour", &form_.shadowColour, false);

    int row = 5;
    left->addWidget(new QLabel(QStringLiteral("文字间距"), this), row, 0);
    charSpacing_ = MakeEdit(this, "charSpacingEdit", form_.charSpacing);
    left->addWidget(charSpacing_, row, 1);
    left->addWidget(new QLabel(QStringLiteral("(1-100象素)"), this), row++, 2, 1, 2);
    left->addWidget(new QLabel(QStringLiteral("文字行距"), this), row, 0);
    lineSpacing_ = MakeEdit(this, "lineSpacingEdit", form_.lineSpacing);
    left->addWidget(lineSpacing_, row, 1);
    left->addWidget(new QLabel(QStringLiteral("(1-100象素)"), this), row++, 2, 1, 2);

    showRowNumbers_ = new QCheckBox(QStringLiteral("显示标号"), this);
    showRowNumbers_->setObjectName(QStringLiteral("showRowNumbersCheck"));
    showRowNumbers_->setChecked(form_.showRowNumbers);
    left->addWidget(showRowNumbers_, row++, 0, 1, 2);
    showShadow_ = new QCheckBox(QStringLiteral("显示阴影"), this);
    showShadow_->setObjectName(QStringLiteral("showShadowCheck"));
    showShadow_->setChecked(form_.showShadow);
    left->addWidget(showShadow_, row++, 0, 1, 2);
    left->addWidget(new QLabel(QStringLiteral("阴影水平偏移"), this), row, 0);
    shadowDx_ = MakeEdit(this, "shadowDxEdit", form_.shadowDx);
    left->addWidget(shadowDx_, row++, 1);
    left->addWidget(new QLabel(QStringLiteral("阴影垂直偏移"), this), row, 0);
    shadowDy_ = MakeEdit(this, "shadowDyEdit", form_.shadowDy);
    left->addWidget(shadowDy_, row++, 1);

    auto* fontButton = MakeButton(this, "chooseFontButton", QStringLiteral("字体选择"));
    left->addWidget(fontButton, row, 0);
    fontName_ = new QLabel(this);
    fontName_->setObjectName(QStringLiteral("fontNameLabel"));
    left->addWidget(fontName_, row++, 1, 1, 3);
    ShowFontName();
    connect(fontButton, &QPushButton::clicked, this, &DisplaySettingsDialog::ChooseFont);

    // Kept in a file of their own: the settings record keeps its layout.
    const ResumeSettings resume = ResumeSettings::Load();
    resumePosition_ = new QCheckBox(QStringLiteral("打开书籍时回到上次阅读位置"), this);
    resumePosition_->setObjectName(QStringLiteral("resumePositionCheck"));
    resumePosition_->setChecked(resume.resumePosition);
    left->addWidget(resumePosition_, row++, 0, 1, 4);
    reopenBooks_ = new QCheckBox(QStringLiteral("启动时打开上次阅读的书籍"), this);
    reopenBooks_->setObjectName(QStringLiteral("reopenBooksCheck"));
    reopenBooks_->setChecked(resume.reopenBooks);
    left->addWidget(reopenBooks_, row++, 0, 1, 4);

    auto* pictures = new QGroupBox(QStringLiteral("背景图片"), this);
    auto* pg = new QGridLayout(pictures);
    top->addWidget(pictures);
    showPicture_ = new QCheckBox(QStringLiteral("显示背景图片"), pictures);
    showPicture_->setObjectName(QStringLiteral("showPictureCheck"));
    showPicture_->setChecked(form_.showPicture);
    pg->addWidget(showPicture_, 0, 0, 1, 2);
    pictureMode_ = new QComboBox(pictures);
    pictureMode_->setObjectName(QStringLiteral("pictureModeCombo"));
    pictureMode_->addItems({QStringLiteral("0：图片拉伸"), QStringLiteral("1：图片平铺"),
                            QStringLiteral("2：图片居中")});
    pictureMode_->setCurrentIndex(form_.pictureMode);
    pg->addWidget(pictureMode_, 1, 0, 1, 2);
    pictureOrder_ = new QComboBox(pictures);
    pictureOrder_->setObjectName(QStringLiteral("pictureOrderCombo"));
    pictureOrder_->addItems({QStringLiteral("0：只显示第一张图"), QStringLiteral("1：顺序显示（多图）"),
                             QStringLiteral("2：随机显示（多图）")});
    pictureOrder_->setCurrentIndex(form_.pictureOrder);
    pg->addWidget(pictureOrder_, 2, 0, 1, 2);
    pictureList_ = new QListWidget(pictures);
    pictureList_->setObjectName(QStringLiteral("pictureList"));
    pg->addWidget(pictureList_, 3, 0, 1, 2);
    auto* add = MakeButton(pictures, "addPictureButton", QStringLiteral("加入图片"));
    auto* del = MakeButton(pictures, "deletePictureButton", QStringLiteral("删除图片"));
    pg->addWidget(add, 4, 0);
    pg->addWidget(del, 4, 1);
    preview_ = new QLabel(QStringLiteral("bg bmp"), pictures);
    preview_->setObjectName(QStringLiteral("picturePreview"));
    preview_->setFixedSize(kPreviewSize);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::Box);
    pg->addWidget(preview_, 5, 0, 1, 2, Qt::AlignCenter);
    connect(add, &QPushButton::clicked, this, &DisplaySettingsDialog::AddPictureFromFile);
    connect(del, &QPushButton::clicked, this, &DisplaySettingsDialog::DeleteSelectedPicture);
    connect(pictureList_, &QListWidget::currentRowChanged, this, &DisplaySettingsDialog::ShowPreview);
    RefreshPictureList(0);

    auto* buttons = new QVBoxLayout;
    top->addLayout(buttons);
    auto* apply = MakeButton(this, "applyButton", QStringLiteral("应用"));
    auto* save = MakeButton(this, "saveButton", QStringLiteral("保存参数"));
    auto* close = MakeButton(this, "closeButton", QStringLiteral("关闭"));
    buttons->addWidget(apply);
    buttons->addWidget(save);
    buttons->addWidget(close);
    buttons->addSpacing(12);
    buttons->addWidget(new QLabel(QStringLiteral("配色"), this));
    const std::pair<ColourPreset, const char*> looks[] = {
        {ColourPreset::Day, "presetDayButton"},
        {ColourPreset::Night, "presetNightButton"},
        {ColourPreset::EyeCare, "presetEyeCareButton"},
        {ColourPreset::Parchment, "presetParchmentButton"}};
    const QString captions[] = {QStringLiteral("日间"), QStringLiteral("夜间"),
                                QStringLiteral("护眼"), QStringLiteral("羊皮纸")};
    for (size_t i = 0; i < std::size(looks); ++i) {
        auto* b = MakeButton(this, looks[i].second, captions[i]);
        buttons->addWidget(b);
        const ColourPreset preset = looks[i].first;
        connect(b, &QPushButton::clicked, this, [this, preset] { UsePreset(preset); });
    }
    buttons->addStretch();
    connect(apply, &QPushButton::clicked, this, &DisplaySettingsDialog::Apply);
    connect(save, &QPushButton::clicked, this, &DisplaySettingsDialog::SaveAndClose);
    connect(close, &QPushButton::clicked, this, &DisplaySettingsDialog::reject);
}

void DisplaySettingsDialog::AddColourRow(int row, const QString& caption, const char* name,
                                         uint32_t* value, bool typed) {
    auto* grid = static_cast<QGridLayout*>(static_cast<QBoxLayout*>(layout())->itemAt(0)->layout());
    ColourRow& r = colours_[colourCount_++];
    r.value = value;
    grid->addWidget(new QLabel(caption, this), row, 0);
    r.edit = MakeEdit(this, (std::string(name) + "Edit").c_str(), FormatColour(*value));
    FitColourTextWidth(r.edit);
    grid->addWidget(r.edit, row, 1);
    r.swatch = MakeColourSwatch(this, name);
    grid->addWidget(r.swatch, row, 2);
    auto* choose = MakeButton(this, (std::string(name) + "Button").c_str(), QStringLiteral("选择"));
    choose->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    grid->addWidget(choose, row, 3);
    PaintSwatch(r);
    const int index = colourCount_ - 1;
    if (typed) {
        connect(r.edit, &QLineEdit::textChanged, this, [this, index](const QString& text) {
            ColourRow& c = colours_[index];
            *c.value = ParseColour(ToUtf8(text));
            PaintSwatch(c);
        });
    } else {
        // The shadow colour is set by the picker only.
        r.edit->setReadOnly(true);
    }
    connect(choose, &QPushButton::clicked, this,
            [this, index, caption] { ChooseColour(colours_[index], caption); });
}

void DisplaySettingsDialog::ChooseColour(ColourRow& row, const QString& caption) {
    auto picked = ModalSeam::PickColour(this, ColourFromRef(*row.value), caption);
    if (!picked) return;
    *row.value = RefFromColour(*picked);
    // Blocked so that re-parsing the text cannot disagree with the picker.
    const bool blocked = row.edit->blockSignals(true);
    row.edit->setText(FromUtf8(FormatColour(*row.value)));
    row.edit->blockSignals(blocked);
    PaintSwatch(row);
}

void DisplaySettingsDialog::PaintSwatch(const ColourRow& row) {
    PaintColourSwatch(row.swatch, *row.value);
}

void DisplaySettingsDialog::ShowFontName() {
    const QFont f = FontFromRecord(form_.font);
    fontName_->setText(QStringLiteral("%1 %2px").arg(f.family()).arg(f.pixelSize()));
}

void DisplaySettingsDialog::ChooseFont() {
    auto picked = ModalSeam::PickFont(this, FontFromRecord(form_.font), QStringLiteral("字体选择"));
    if (!picked) return;
    form_.font = RecordFromFont(*picked);
    ShowFontName();
}

void DisplaySettingsDialog::RefreshPictureList(int select) {
    const bool blocked = pictureList_->blockSignals(true);
    pictureList_->clear();
    for (const std::string& name : form_.pictures) pictureList_->addItem(FromUtf8(name));
    if (pictureList_->count() > 0)
        pictureList_->setCurrentRow(std::clamp(select, 0, pictureList_->count() - 1));
    pictureList_->blockSignals(blocked);
    ShowPreview();
}

void DisplaySettingsDialog::ShowPreview() {
    const int row = pictureList_->currentRow();
    if (row < 0 || row >= static_cast<int>(form_.pictures.size())) {
        preview_->setPixmap(QPixmap());
        preview_->setText(QStringLiteral("bg bmp"));
        return;
    }
    QImageReader reader(PictureFilePath(form_.pictures[static_cast<size_t>(row)]));
    reader.setDecideFormatFromContent(true);
    const QImage img = reader.read();
    if (img.isNull()) {
        preview_->setPixmap(QPixmap());
        preview_->setText(QStringLiteral("bg bmp"));
        return;
    }
    preview_->setPixmap(QPixmap::fromImage(
        img.scaled(kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void DisplaySettingsDialog::AddPictureFromFile() {
    QtMessenger messenger(this);
    if (!CanAddPicture(form_.pictures, messenger)) return;
    const QString path = ModalSeam::PickOpenFile(this, QStringLiteral("加入图片"),
                                                 QStringLiteral("Bmp图片文件 (*.bmp)"));
    if (path.isEmpty()) return;
    if (!AddPicture(form_.pictures, ToUtf8(path), messenger)) return;
    RefreshPictureList(static_cast<int>(form_.pictures.size()) - 1);
}

void DisplaySettingsDialog::DeleteSelectedPicture() {
    QtMessenger messenger(this);
    if (!DeletePicture(form_.pictures, pictureList_->currentRow(), messenger)) return;
    RefreshPictureList(0);
}

void DisplaySettingsDialog::UsePreset(ColourPreset preset) {
    ApplyColourPreset(form_, preset);
    for (int i = 0; i < colourCount_; ++i) {
        ColourRow& row = colours_[i];
        const bool blocked = row.edit->blockSignals(true);
        row.edit->setText(FromUtf8(FormatColour(*row.value)));
        row.edit->blockSignals(blocked);
        PaintSwatch(row);
    }
    showShadow_->setChecked(form_.showShadow);
    Apply();
}

DisplaySettingsForm DisplaySettingsDialog::CurrentForm() const {
    DisplaySettingsForm f = form_;
    f.charSpacing = ToUtf8(charSpacing_->text());
    f.lineSpacing = ToUtf8(lineSpacing_->text());
    f.shadowDx = ToUtf8(shadowDx_->text());
    f.shadowDy = ToUtf8(shadowDy_->text());
    f.showRowNumbers = showRowNumbers_->isChecked();
    f.showShadow = showShadow_->isChecked();
    f.showPicture = showPicture_->isChecked();
    f.pictureMode = pictureMode_->currentIndex();
    f.pictureOrder = pictureOrder_->currentIndex();
    return f;
}

bool DisplaySettingsDialog::Collect() {
    stored_ = CollectDisplaySettings(CurrentForm());
    // Show what was stored: a spacing out of range reads 14 from now on.
    charSpacing_->setText(QString::number(stored_.charSpacing));
    lineSpacing_->setText(QString::number(stored_.lineSpacing));
    ResumeSettings resume;
    resume.resumePosition = resumePosition_->isChecked();
    resume.reopenBooks = reopenBooks_->isChecked();
    resume.Save();
    return SaveDisplaySettings(stored_);
}

void DisplaySettingsDialog::Apply() {
    Collect();
    Q_EMIT applied(stored_);
}

void DisplaySettingsDialog::SaveAndClose() {
    Collect();
    accept();
}

}  // namespace quillon
