// The main window's model without any window: a fake view records what it is told and
// answers the file and value dialogs. The test's thread is the window's thread; jobs
// the model posts run when the test pumps them, as a window's event loop would.

#include "gui/model/MainDialogModel.h"
#include "image/DisplayText.h"
#include "ir/CodeSelection.h"
#include "params/DisplayList.h"
#include "tests/FakeMainDialogView.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <gtest/gtest.h>

#include <thread>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

namespace
{

class MainDialogModelTest : public ::testing::Test
{
  protected:
    MainDialogModelTest() : m_model(std::make_unique<CMainDialogModel>(m_view, ManualTicks(), FastTiming()))
    {
        m_model->OnInitDialog();
        m_view.Pump();
    }

    void Open(const std::optional<std::filesystem::path>& path)
    {
        m_view.m_openAnswer = path;
        m_model->OpenBundleOrImage();
    }
    std::filesystem::path WriteImage(const std::string& name, const CImageSpec& imageSpec)
    {
        WriteFileBytes(m_dir / name, BuildImageFile(imageSpec));
        return m_dir / name;
    }
    std::string Status() { return m_view.Text(EMainControl::Status); }
    std::vector<std::string>& Lines() { return m_view.List(EMainControl::Parameters); }
    ImageHeader& Header() { return m_model->Updater().Header(); }

    CTempDir m_dir;
    CFakeView m_view;
    std::unique_ptr<CMainDialogModel> m_model;
};

CImageSpec Realistic(bool withIrButtons)
{
    CImageSpec imageSpec;
    imageSpec.params = RealisticParameters(withIrButtons);
    return imageSpec;
}

TEST(MainDialogModelText, TitleAndShownTexts)
{
    EXPECT_EQ(MainWindowTitle("May  6 2011"), "QUILTA Corvalin    May  6 2011");
    EXPECT_EQ(Latin1ToUtf8Text("Caf\xE9 \xFF\x80"), "Caf\u00E9 \u00FF\u0080");
    EXPECT_EQ(MemberNameText("caf\xC3\xA9_enc.bin"), "caf\xC3\xA9_enc.bin");
    // Not UTF-8: a stray continuation byte, an overlong form, a surrogate, a cut sequence.
    for (const char* name : {"caf\x82_enc", "\xC0\xAF", "\xED\xA0\x80", "ab\xE2\x82"})
        EXPECT_EQ(MemberNameText(name), Latin1ToUtf8Text(name)) << name;
    EXPECT_TRUE(IsUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsUtf8("\xF4\x90\x80\x80"));
}

TEST_F(MainDialogModelTest, StartsIdle)
{
    EXPECT_EQ(m_view.m_strTitle, MainWindowTitle(__DATE__));
    EXPECT_EQ(m_view.m_nTimerMs, ManualTicks().m_nPresencePollMs);
    EXPECT_FALSE(m_view.Enabled(EMainControl::Update));
    EXPECT_FALSE(m_view.Enabled(EMainControl::Product));
    EXPECT_TRUE(m_view.List(EMainControl::Product).empty());
    // The worker's set-up: range 0-100, position 0, an empty status line.
    EXPECT_EQ(m_view.m_range, std::make_pair(0, 100));
    EXPECT_EQ(m_view.m_positions, std::vector<int>{0});
    EXPECT_EQ(m_view.m_statusTexts, std::vector<std::string>{""});

    // With no update running the window closes without a question.
    EXPECT_TRUE(m_model->CanClose());
    EXPECT_TRUE(m_view.m_questions.empty());
    m_model->OnClose();
    EXPECT_EQ(m_view.m_nTimerMs, 0);
}

TEST(MainDialogKeys, EnterSpaceF1AndF2GoByTheFocusedControl)
{
    struct CKeyCase
    {
        EWindowKey key;
        std::optional<EMainControl> focused;
        bool listOpen;
        EKeyAction expected;
    };
    const CKeyCase cases[] = {
        // Enter presses the push button that has the focus, the default one elsewhere.
        {EWindowKey::Enter, EMainControl::Browse, false, EKeyAction::PressFocused},
        {EWindowKey::Enter, EMainControl::Store, false, EKeyAction::PressFocused},
        {EWindowKey::Enter, EMainControl::Update, false, EKeyAction::PressFocused},
        {EWindowKey::Enter, EMainControl::Close, false, EKeyAction::PressFocused},
        {EWindowKey::Enter, EMainControl::BundlePath, false, EKeyAction::PressDefault},
        {EWindowKey::Enter, std::nullopt, false, EKeyAction::PressDefault},
        {EWindowKey::Enter, EMainControl::Product, false, EKeyAction::PressDefault},
        {EWindowKey::Enter, EMainControl::Product, true, EKeyAction::None},
        // In the parameter list Enter, Space and F2 change the selected line.
        {EWindowKey::Enter, EMainControl::Parameters, false, EKeyAction::ChangeParameter},
        {EWindowKey::Space, EMainControl::Parameters, false, EKeyAction::ChangeParameter},
        {EWindowKey::F2, EMainControl::Parameters, false, EKeyAction::ChangeParameter},
        {EWindowKey::Space, EMainControl::Browse, false, EKeyAction::None},
        {EWindowKey::F2, EMainControl::BundlePath, false, EKeyAction::None},
        {EWindowKey::F1, EMainControl::Parameters, false, EKeyAction::ShowAbout},
        {EWindowKey::F1, std::nullopt, false, EKeyAction::ShowAbout},
    };
    for (const CKeyCase& c : cases)
        EXPECT_EQ(MainDialogKeyAction(c.key, c.focused, c.listOpen), c.expected)
            << int(c.key) << " on " << (c.focused ? int(*c.focused) : 0) << (c.listOpen ? " open" : "");
}

TEST_F(MainDialogModelTest, AboutShowsOnceAndChangeIsInTheContextMenu)
{
    // F1 inside the About box, or a second F1, opens no box over it.
    m_view.m_onAbout = [&] { m_model->ShowAbout(); };
    m_model->OnMenuCommand(EMenuCommand::About);
    EXPECT_EQ(m_view.m_nAboutShown, 1);
    m_model->ShowAbout();
    EXPECT_EQ(m_view.m_nAboutShown, 2);

    const uint32_t rearCamera = 0x10030001;
    CImageSpec imageSpec;
    imageSpec.params = {{rearCamera, 0}};
    Open(WriteImage("one.img", imageSpec));
    auto changeEntry = [&](int row)
    {
        for (const CMenuEntry& entry : m_model->ContextMenu(row))
            if (entry.m_command == EMenuCommand::ChangeParameter)
                return entry;
        return CMenuEntry{};
    };
    EXPECT_FALSE(changeEntry(-1).m_bEnabled);
    EXPECT_STREQ(changeEntry(0).m_pText, "Change...");
    EXPECT_TRUE(changeEntry(0).m_bEnabled);
    m_model->OnMenuCommand(EMenuCommand::ChangeParameter, 0);
    EXPECT_EQ(GetParamValue(Header(), 0), 1u);
    m_model->OnMenuCommand(EMenuCommand::ChangeParameter, -1);
    EXPECT_EQ(GetParamValue(Header(), 0), 1u);
}

TEST_F(MainDialogModelTest, OpensImagesAndKeepsWhatIsShownOnCancel)
{
    const auto good = WriteImage("good.img", Realistic(false));
    WriteFileBytes(m_dir / "short.img", Bytes(300, 0xAB));

    Open(good);
    EXPECT_EQ(Status(), "Loaded update file");
    EXPECT_TRUE(m_model->IsImageLoaded());
    EXPECT_EQ(m_view.Text(EMainControl::BundlePath), PathText(good));
    EXPECT_FALSE(m_view.Enabled(EMainControl::Product));
    // Loaded but not connected: "Update" stays off.
    EXPECT_FALSE(m_view.Enabled(EMainControl::Update));
    CParameterTable table;
    BuildParameterTable(table);
    EXPECT_EQ(Lines(), BuildDisplayList(table, Header()).m_lines);
    EXPECT_GE(Lines().size(), 10u);
    EXPECT_EQ(m_view.m_nCodeSelections, 0);

    // Cancelling the file dialog clears the flag but keeps what is shown.
    const std::vector<std::string> before = Lines();
    Open(std::nullopt);
    EXPECT_FALSE(m_model->IsImageLoaded());
    EXPECT_EQ(Lines(), before);
    EXPECT_EQ(m_view.Text(EMainControl::BundlePath), PathText(good));

    // A file the loader refuses offers no code selection.
    Open(m_dir / "short.img");
    EXPECT_EQ(Status(), "Wrong image file");
    EXPECT_FALSE(m_model->IsImageLoaded());
    EXPECT_EQ(m_view.m_nCodeSelections, 0);
}

TEST_F(MainDialogModelTest, OpensBundlesAndChoosesProducts)
{
    auto member = [](uint32_t hardwareCode, uint32_t volume)
    {
        CImageSpec imageSpec;
        imageSpec.hardwareCode = hardwareCode;
        imageSpec.params = {{0x30120001, volume}, {0x10030001, 1}};
        return BuildImageFile(imageSpec);
    };
    const std::vector<CZipMember> members = {{"image.info", {}},
                                             {"zeta-enc.img", member(0x00010000, 7)},
                                             {"alpha-enc.img", member(0x00010000, 9)},
                                             {"other-enc.img", member(0x00020000, 1)},
                                             {"x_enc.bin", member(0x00020000, 11)},
                                             {"X_enc.bin", member(0x00010000, 12)},
                                             {"/abs/p_enc.bin", member(0x00010000, 13)},
                                             {"caf\x82_enc.bin", member(0x00010000, 14)}};
    WriteZip(m_dir / "bundle.zip", members);
    WriteZip(m_dir / "nomarker.zip", {{"alpha-enc.img", member(0x00010000, 9)}});
    auto volume = [&] { return GetParamValue(Header(), 0); };

    Open(m_dir / "bundle.zip");
    EXPECT_EQ(Status(), "Bundle loaded");
    EXPECT_TRUE(m_view.Enabled(EMainControl::Product));
    // Sorted with letter case ignored; a name that is no UTF-8 shows one character per byte.
    EXPECT_EQ(m_view.List(EMainControl::Product),
              (std::vector<std::string>{"abs/p_enc.bin", "alpha-enc.img", "caf\u0082_enc.bin", "X_enc.bin",
                                        "zeta-enc.img"}));
    EXPECT_EQ(m_view.m_nProductShown, -1);
    // Nothing is chosen yet: no "Update", no "Wr".
    EXPECT_FALSE(m_model->IsImageLoaded());
    m_model->StoreImage();
    EXPECT_EQ(m_view.m_nSaveAsked, 0);

    // Every entry loads the very member it was listed from.
    std::vector<uint32_t> volumes;
    for (int i = 0; i < 5; ++i)
    {
        m_model->SelectProduct(i);
        EXPECT_EQ(Status(), "Image loaded");
        volumes.push_back(volume());
    }
    EXPECT_EQ(volumes, (std::vector<uint32_t>{13, 9, 14, 12, 7}));
    EXPECT_TRUE(m_model->IsImageLoaded());
    EXPECT_TRUE(Lines().at(0).ends_with("007")) << Lines().at(0);

    // Choosing it again reloads it from the archive, dropping the edit.
    SetParamValue(Header(), 0, 55);
    m_model->SelectProduct(4);
    EXPECT_EQ(volume(), 7u);

    // After "Wr" the path box names the stored image; products still come from the bundle.
    m_view.m_saveAnswer = m_dir / "stored.img";
    m_model->StoreImage();
    EXPECT_EQ(m_view.Text(EMainControl::BundlePath), PathText(m_dir / "stored.img"));
    m_model->SelectProduct(3);
    EXPECT_EQ(volume(), 12u);
    EXPECT_TRUE(m_model->IsImageLoaded());

    // A member that is gone since the listing: nothing counts as loaded, and it says so.
    WriteZip(m_dir / "bundle.zip", {members[0], members[1]});
    m_model->SelectProduct(3);
    EXPECT_EQ(Status(), "Unable to load bundle");
    EXPECT_FALSE(m_model->IsImageLoaded());

    Open(m_dir / "nomarker.zip");
    EXPECT_EQ(Status(), "Wrong bundle file");
    EXPECT_FALSE(m_view.Enabled(EMainControl::Product));
    // A choice with no list behind it loads nothing.
    m_model->SelectProduct(0);
    EXPECT_EQ(Status(), "Unable to load bundle");
    EXPECT_FALSE(m_model->IsImageLoaded());
}

TEST_F(MainDialogModelTest, OffersTheCodeSelectionForIrButtonsAtOpening)
{
    const auto irImage = WriteImage("ir.img", Realistic(true));
    WriteImage("plain.img", Realistic(false));
    WriteZip(m_dir / "bundle.zip", {{"image.info", {}}, {"ir-enc.bin", BuildImageFile(Realistic(true))}});

    // Cancelled: the image is as loaded.
    Open(irImage);
    EXPECT_EQ(m_view.m_nCodeSelections, 1);
    EXPECT_EQ(Status(), "Loaded update file");
    CUpdater reference;
    ASSERT_EQ(reference.LoadImageFile(irImage), 1);
    EXPECT_TRUE(Header() == reference.Header());

    // Accepted: the codes land in the image and in the list.
    m_view.m_codeAnswer.m_bAccepted = true;
    m_view.m_codeAnswer.m_codes.assign(kFunctionKeyCount, 0);
    m_view.m_codeAnswer.m_codes[3] = 0xF609FB04; // "Mute"
    m_view.m_codeAnswer.m_nIrType = 1;
    Open(irImage);
    EXPECT_EQ(m_view.m_nCodeSelections, 2);
    ImageHeader expected = reference.Header();
    WriteIrCodes(expected, m_view.m_codeAnswer.m_codes, 1);
    EXPECT_TRUE(Header() == expected);
    CParameterTable table;
    BuildParameterTable(table);
    EXPECT_EQ(Lines(), BuildDisplayList(table, expected).m_lines);

    // Without IR button parameters nothing is offered.
    Open(m_dir / "plain.img");
    EXPECT_EQ(m_view.m_nCodeSelections, 2);

    // A bundle is offered at its opening, not at the product's choice.
    m_view.m_codeAnswer = {};
    Open(m_dir / "bundle.zip");
    EXPECT_EQ(m_view.m_nCodeSelections, 3);
    m_model->SelectProduct(0);
    EXPECT_TRUE(m_model->IsImageLoaded());
    EXPECT_EQ(m_view.m_nCodeSelections, 3);
}

struct CEditCase
{
    const char* name;
    uint32_t id;
    uint32_t value;
    std::optional<std::pair<std::string, int>> answer; // none: toggled, refused or cancelled
    uint32_t expected;
    const char* shown; // the value text at the end of the list line
};

TEST_F(MainDialogModelTest, EditsEveryKindOfParameter)
{
    const uint32_t rearCamera = 0x10030001, volume = 0x30120001, delay = 0x50050003;
    const uint32_t volvo = 0x601A0001, irType = 0x60150003;
    const CEditCase cases[] = {
        {"switch 5 toggles to 0", rearCamera, 5, std::nullopt, 0, "off"},
        {"switch 0 toggles to 1", rearCamera, 0, std::nullopt, 1, "ON"},
        {"decimal 12abc", volume, 20, std::make_pair("12abc", -1), 12, "012"},
        {"decimal -3", volume, 20, std::make_pair("-3", -1), 0xFFFFFFFD, "-003"},
        {"decimal cancelled", volume, 20, std::nullopt, 20, "020"},
        {"hex 1f4", delay, 0x7D0, std::make_pair("1f4", -1), 0x1F4, "$000001F4"},
        {"volvo V70 to XC90", volvo, 8, std::make_pair("", 11), 11, "XC90"},
        {"IR TYPE typed in decimal", irType, 2, std::make_pair("3", -1), 3, "$00000003"},
    };
    for (const CEditCase& edit : cases)
    {
        SCOPED_TRACE(edit.name);
        CImageSpec imageSpec;
        imageSpec.params = {{edit.id, edit.value}};
        Open(WriteImage("one.img", imageSpec));
        ASSERT_EQ(Lines().size(), 1u);
        m_view.m_valueAnswer = edit.answer;
        m_view.m_lastEntry = {};
        m_model->ChangeParameter(0);
        EXPECT_EQ(GetParamValue(Header(), 0), edit.expected);
        EXPECT_TRUE(Lines().at(0).ends_with(std::string(":   ") + edit.shown)) << Lines().at(0);
        if (EditKindFor(edit.id) == EditKind::Toggle)
            continue;
        // The dialog was prepared by the core's rules for this kind and value.
        const CValueEntry prepared = PrepareValueEntry(EditKindFor(edit.id), edit.value);
        EXPECT_EQ(m_view.m_lastEntry.m_nValue, prepared.m_nValue);
        EXPECT_EQ(m_view.m_lastEntry.m_bHex, prepared.m_bHex);
        EXPECT_EQ(m_view.m_lastEntry.m_bChoice, prepared.m_bChoice);
    }

    // A line beyond the list, or none, does nothing.
    m_view.m_lastEntry = {};
    m_view.m_lastEntry.m_nValue = -77;
    m_model->ChangeParameter(1);
    m_model->ChangeParameter(-1);
    EXPECT_EQ(m_view.m_lastEntry.m_nValue, -77);
}

TEST_F(MainDialogModelTest, FilesComeFromDropsTheCommandLineAndRememberedFolders)
{
    std::filesystem::create_directories(m_dir / "in");
    std::filesystem::create_directories(m_dir / "out");
    const auto image = WriteImage("in/one.img", Realistic(false));

    // A drop of one file opens it as "..." would; a folder or two files change nothing.
    m_model->OnDrop({m_dir / "in"});
    m_model->OnDrop({image, image});
    EXPECT_FALSE(m_model->IsImageLoaded());
    EXPECT_EQ(m_view.Text(EMainControl::BundlePath), "");
    m_model->OnDrop({image});
    EXPECT_TRUE(m_model->IsImageLoaded());
    EXPECT_EQ(m_view.Text(EMainControl::BundlePath), PathText(image));
    EXPECT_EQ(m_view.m_nOpenAsked, 0);

    // "..." then opens where that file lay, offering bundles and images first.
    m_view.m_openAnswer = std::nullopt;
    m_model->OpenBundleOrImage();
    EXPECT_EQ(m_view.m_lastDialog.m_eKind, EFileKind::BundleOrImage);
    EXPECT_EQ(m_view.m_lastDialog.m_folder, m_dir / "in");
    ASSERT_EQ(m_view.m_lastDialog.m_filters.size(), 2u);
    EXPECT_STREQ(m_view.m_lastDialog.m_filters[0].m_pPatterns, "*.zip *.bin *.img");
    EXPECT_STREQ(m_view.m_lastDialog.m_filters[1].m_pPatterns, "*");

    // "Wr" asks before replacing and starts beside the opened file, then where it stored last.
    m_model->OpenFile(image);
    m_view.m_saveAnswer = m_dir / "out" / "stored.img";
    m_model->StoreImage();
    EXPECT_EQ(m_view.m_lastDialog.m_eKind, EFileKind::StoredImage);
    EXPECT_TRUE(m_view.m_lastDialog.m_bConfirmReplace);
    EXPECT_STREQ(m_view.m_lastDialog.m_pDefaultExtension, "img");
    EXPECT_EQ(m_view.m_lastDialog.m_folder, m_dir / "in");
    m_model->StoreImage();
    EXPECT_EQ(m_view.m_lastDialog.m_folder, m_dir / "out");
    // ...while "..." keeps its own folder.
    m_model->OpenBundleOrImage();
    EXPECT_EQ(m_view.m_lastDialog.m_folder, m_dir / "in");

    // A record is appended to, so choosing an existing one asks nothing.
    m_view.m_saveAnswer = std::nullopt;
    m_model->KeepUpdateRecord();
    EXPECT_EQ(m_view.m_lastDialog.m_eKind, EFileKind::UpdateRecord);
    EXPECT_FALSE(m_view.m_lastDialog.m_bConfirmReplace);
}

// A store standing in for the view's settings: names and folders, nothing more.
class CFolderStoreForTest : public IFolderStore
{
  public:
    std::filesystem::path LoadFolder(const char* name) const override
    {
        const auto found = m_folders.find(name);
        return found == m_folders.end() ? std::filesystem::path() : found->second;
    }
    void SaveFolder(const char* name, const std::filesystem::path& folder) override
    {
        m_folders[name] = folder;
    }
    std::map<std::string, std::filesystem::path> m_folders;
};

TEST_F(MainDialogModelTest, FileDialogFoldersOutliveTheWindowThroughItsStore)
{
    CFolderStoreForTest store;
    std::filesystem::create_directories(m_dir / "in");
    const auto image = WriteImage("in/one.img", Realistic(false));
    m_model->KeepFoldersIn(store);
    m_view.m_openAnswer = image;
    m_model->OpenBundleOrImage();

    // The next run opens where the last one found its file.
    m_model = std::make_unique<CMainDialogModel>(m_view, ManualTicks(), FastTiming());
    m_model->KeepFoldersIn(store);
    m_view.m_openAnswer = std::nullopt;
    m_model->OpenBundleOrImage();
    EXPECT_EQ(m_view.m_lastDialog.m_folder, std::filesystem::absolute(m_dir / "in"));

    // A kept folder that has gone since is left to the toolkit.
    store.m_folders["BundleFolder"] = m_dir / "gone";
    m_model = std::make_unique<CMainDialogModel>(m_view, ManualTicks(), FastTiming());
    m_model->KeepFoldersIn(store);
    m_model->OpenBundleOrImage();
    EXPECT_EQ(m_view.m_lastDialog.m_folder, std::filesystem::path());
}

TEST_F(MainDialogModelTest, StoresTheEditedImage)
{
    m_view.m_saveAnswer = m_dir / "stored.img";
    // Nothing loaded: "Wr" asks nothing and stores nothing.
    m_model->StoreImage();
    EXPECT_EQ(m_view.m_nSaveAsked, 0);

    const auto source = WriteImage("source.img", Realistic(false));
    Open(source);
    SetParamValue(Header(), 5, 33); // CH0.Volume, as an edit leaves it

    // A cancelled save dialog changes nothing.
    m_view.m_saveAnswer.reset();
    m_model->StoreImage();
    EXPECT_EQ(m_view.m_nSaveAsked, 1);
    EXPECT_EQ(m_view.Text(EMainControl::BundlePath), PathText(source));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "stored.img"));

    m_view.m_saveAnswer = m_dir / "stored.img";
    m_model->StoreImage();
    EXPECT_EQ(Status(), "Image stored");
    EXPECT_EQ(m_view.Text(EMainControl::BundlePath), PathText(m_dir / "stored.img"));
    CUpdater reader;
    ASSERT_EQ(reader.LoadImageFile(m_dir / "stored.img"), 1);
    EXPECT_EQ(GetParamValue(reader.Header(), 5), 33u);
    EXPECT_EQ(std::filesystem::file_size(m_dir / "stored.img"), std::filesystem::file_size(source));
}

TEST_F(MainDialogModelTest, SettingsTravelFromOneImageToAnother)
{
    Open(WriteImage("old.img", Realistic(false)));
    SetParamValue(Header(), 5, 33); // CH0.Volume
    m_view.m_saveAnswer = m_dir / "settings.json";
    m_model->SaveSettings();
    m_view.Pump();
    EXPECT_EQ(Status(), "Settings stored");

    // Another image: the document's values come in, and the list shows them.
    Open(WriteImage("new.img", Realistic(true)));
    const std::vector<std::string> before = Lines();
    m_view.m_openAnswer = m_dir / "settings.json";
    m_model->LoadSettings();
    m_view.Pump();
    EXPECT_EQ(Status(), "Settings loaded");
    EXPECT_EQ(GetParamValue(Header(), 5), 33u);
    EXPECT_NE(Lines(), before);
    EXPECT_TRUE(m_view.m_messages.empty());
    EXPECT_TRUE(m_view.m_questions.empty());

    // On other hardware the user is asked first: No changes nothing, Yes loads.
    CImageSpec otherSpec = Realistic(false);
    otherSpec.hardwareCode = 0x00020000;
    Open(WriteImage("other.img", otherSpec));
    m_view.m_openAnswer = m_dir / "settings.json";
    for (const bool yes : {false, true})
    {
        m_view.m_bYes = yes;
        m_view.m_questions.clear();
        m_model->LoadSettings();
        m_view.Pump();
        ASSERT_EQ(m_view.m_questions.size(), 1u);
        EXPECT_NE(m_view.m_questions[0].find("00010000"), std::string::npos) << m_view.m_questions[0];
        EXPECT_NE(m_view.m_questions[0].find("00020000"), std::string::npos) << m_view.m_questions[0];
        EXPECT_EQ(GetParamValue(Header(), 5) == 33u, yes);
    }
    m_view.m_bYes = false;

    // A broken document changes nothing and says why.
    WriteFileBytes(m_dir / "broken.json", Bytes{'{', '"', 'p'});
    SetParamValue(Header(), 5, 12);
    m_view.m_openAnswer = m_dir / "broken.json";
    m_model->LoadSettings();
    EXPECT_EQ(GetParamValue(Header(), 5), 12u);
    ASSERT_EQ(m_view.m_messages.size(), 1u);
    EXPECT_EQ(m_view.m_messages[0].rfind("The settings were not loaded: ", 0), 0u) << m_view.m_messages[0];
    EXPECT_EQ(m_view.m_messageIcons, std::vector<EMessageIcon>{EMessageIcon::Error});

    // A folder cannot take the document.
    m_view.m_saveAnswer = m_dir.Path();
    m_model->SaveSettings();
    m_view.Pump();
    EXPECT_EQ(Status(), "Unable to write the file");
}

TEST_F(MainDialogModelTest, StatusTextsKeepTheirOrderAcrossThreads)
{
    // Texts set on another thread reach the view in order once the window's thread runs
    // its jobs; a text set on the window's thread comes after all that were set before.
    m_view.m_statusTexts.clear();
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i)
        expected.push_back("text " + std::to_string(i));
    std::thread worker(
        [&]
        {
            for (const std::string& text : expected)
                m_model->Updater().SetStatus(text);
        });
    worker.join();
    EXPECT_TRUE(m_view.m_statusTexts.empty());
    m_model->Updater().SetStatus("last");
    expected.push_back("last");
    EXPECT_EQ(m_view.m_statusTexts, expected);
    // The jobs still posted find nothing left to do.
    m_view.Pump();
    EXPECT_EQ(m_view.m_statusTexts, expected);
}

} // namespace
