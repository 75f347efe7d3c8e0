#include "gui/aids/speech_settings_dialog.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/aids/speech_engine.h"
#include "core/config/tag_file.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/reader/display_settings.h"
#include "core/reader/paging_model.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/reader/colour_swatch.h"
#include "gui/reader/modal_seam.h"
#include "gui/reader/page_renderer.h"

namespace quillon {

namespace {
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
}  // namespace

SpeechSettingsDialog::SpeechSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("speechSettingsDialog"));
    setWindowTitle(QStringLiteral("语音阅读设置"));
    config_ = LoadTtsConfig(TtsConfigPath());

    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);
    AddColourRow(grid, 0, QStringLiteral("正在阅读字体颜色:"), "speechTextColour",
                 &config_.textColour, textRow_);
    AddColourRow(grid, 1, QStringLiteral("正在阅读背影颜色:"), "speechBackColour",
                 &config_.background, backRow_);
    grid->addWidget(new QLabel(QStringLiteral("阅读语速设置:"), this), 2, 0);
    rateEdit_ = new QLineEdit(QString::number(config_.rate), this);
    rateEdit_->setObjectName(QStringLiteral("speechRateEdit"));
    grid->addWidget(rateEdit_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("(-10到10之间的值，值越大阅读越快)"), this), 2, 2, 1, 2);

    readme_ = new QPlainTextEdit(this);
    readme_->setObjectName(QStringLiteral("speechReadme"));
    readme_->setReadOnly(true);
    TagFile tags;
    tags.Open(GetProgramFolder() + "data/main.htm");
    std::string readme = tags.GetValue("[READER_TTS_README]");
    readme = ReplaceAll(readme, "NEW_LINE", "\n");
    readme_->setPlainText(FromGbk(readme));
    top->addWidget(readme_);

    voices_ = new QListWidget(this);
    voices_->setObjectName(QStringLiteral("speechVoiceList"));
    const std::vector<std::string> ids = ListVoiceIds();
    for (const std::string& id : ids) voices_->addItem(FromGbk(id));
    // A first run (no settings file) would otherwise offer the engine's
    // first voice, Afrikaans, to read English with.
    int selected = FileExists(TtsConfigPath()) ? 0 : std::max(0, PreferredEnglishVoice(ids));
    for (int i = 0; i < voices_->count(); ++i)
        if (ToGbk(voices_->item(i)->text()) == config_.voiceId) selected = i;
    if (voices_->count() > 0) {
        voices_->setCurrentRow(selected);
        config_.voiceId = CutGbk(ToGbk(voices_->item(selected)->text()), TtsConfig::kVoiceIdMax);
    }
    top->addWidget(voices_);
    // Connected after the first selection: only the user's choice speaks.
    connect(voices_, &QListWidget::currentRowChanged, this, &SpeechSettingsDialog::SelectVoice);

    testText_ = new QLineEdit(QStringLiteral("how are you?"), this);
    testText_->setObjectName(QStringLiteral("speechTestText"));
    top->addWidget(testText_);
    auto* test = MakeButton(this, "speechTestButton", QStringLiteral("测试语音阅读功能"));
    connect(test, &QPushButton::clicked, this, &SpeechSettingsDialog::RunChineseTest);
    top->addWidget(test);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = MakeButton(this, "speechStartButton", QStringLiteral("开始语音阅读"));
    auto* cancel = MakeButton(this, "speechCancelButton", QStringLiteral("取消"));
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &SpeechSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SpeechSettingsDialog::reject);
    top->addWidget(buttons);
}

void SpeechSettingsDialog::AddColourRow(QGridLayout* grid, int row, const QString& caption,
                                        const char* name, uint32_t* value, ColourRow& out) {
    out.value = value;
    grid->addWidget(new QLabel(caption, this), row, 0);
    out.edit = new QLineEdit(FromUtf8(FormatColour(*value)), this);
    out.edit->setObjectName(QLatin1String((std::string(name) + "Edit").c_str()));
    out.edit->setReadOnly(true);
    FitColourTextWidth(out.edit);
    grid->addWidget(out.edit, row, 1);
    out.swatch = MakeColourSwatch(this, name);
    grid->addWidget(out.swatch, row, 2);
    auto* choose = MakeButton(this, (std::string(name) + "Button").c_str(), QStringLiteral("选择"));
    grid->addWidget(choose, row, 3);
    PaintSwatch(out);
    connect(choose, &QPushButton::clicked, this,
            [this, &out, caption] { ChooseColour(out, caption); });
}

void SpeechSettingsDialog::ChooseColour(ColourRow& row, const QString& caption) {
    const auto picked = ModalSeam::PickColour(this, ColourFromRef(*row.value), caption);
    if (!picked) return;
    *row.value = RefFromColour(*picked);
    row.edit->setText(FromUtf8(FormatColour(*row.value)));
    PaintSwatch(row);
}

void SpeechSettingsDialog::PaintSwatch(const ColourRow& row) {
    PaintColourSwatch(row.swatch, *row.value);
}

void SpeechSettingsDialog::SelectVoice(int row) {
    if (row < 0 || row >= voices_->count()) return;
    config_.voiceId = CutGbk(ToGbk(voices_->item(row)->text()), TtsConfig::kVoiceIdMax);
    SpeakTest();
}

SpeechSettingsDialog::~SpeechSettingsDialog() { StopTest(); }

void SpeechSettingsDialog::StopTest() {
    testCancel_ = true;
    if (testThread_.joinable()) testThread_.join();
    testCancel_ = false;
}

void SpeechSettingsDialog::SpeakTest() {
    // Spoken on a thread of its own: speaking takes a second or more, and
    // the list must stay usable meanwhile. A new choice cuts the old one off.
    StopTest();
    testThread_ = std::thread([this, voice = config_.voiceId,
                               rate = ParseLeadingInt(ToUtf8(rateEdit_->text())),
                               text = ToGbk(testText_->text())] {
        SpeakText(voice, rate, text, &testCancel_);
    });
}

void SpeechSettingsDialog::RunChineseTest() {
    QtMessenger messenger(this);
    messenger.Inform(Gbk("如果你能听到有中文发声表示系统正常，否则请去下载指定插件，安装后才能进行语音阅读。"));
    SpeakText(config_.voiceId, ParseLeadingInt(ToUtf8(rateEdit_->text())), Gbk("你是否能听到中文声音？"));
    if (messenger.AskYesNo(Gbk("刚才你是否听到有中文声音？")))
        messenger.Inform(Gbk("系统中阅读插件己安装，你可以进行中文阅读了。"));
    else
        messenger.Inform(Gbk("系统中阅读插件还未安装，请按下面的提示进行插件安装。"));
}

void SpeechSettingsDialog::accept() {
    StopTest();
    config_.rate = ParseLeadingInt(ToUtf8(rateEdit_->text()));
    if (config_.rate < -10 || config_.rate > 10) config_.rate = 10;
    // An unwritable file still leaves the settings in use for this run.
    SaveTtsConfig(TtsConfigPath(), config_);
    QDialog::accept();
}

}  // namespace quillon
