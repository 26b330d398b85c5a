// The Windows platform layer as it runs (under Wine here): the serial-port map in the
// registry, opening a port that is not there, the chime without a sound device, paths
// with non-ASCII characters and the safe store. Built only for Windows.

#ifdef _WIN32

#include "device/CompletionSound.h"
#include "device/Updater.h"
#include "image/BundleLoader.h"
#include "ir/CcfReader.h"
#include "params/ParameterTable.h"
#include "platform/FileIo.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortMap.h"
#include "platform/Sound.h"
#include "tools/fixtures/BoxSim.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/ProcessRunner.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace corvalin;
using namespace corvalin::fixtures;
using corvalin::platform::PlayWaveSync;

namespace
{

// Driver device names of our own, so that a test that publishes the simulator as
// "\Device\Silabser0" in the same Wine prefix is not disturbed.
constexpr const char* kTestDevice = "\\Device\\CorvalinTest0";
constexpr const wchar_t* kTestDeviceW = L"\\Device\\CorvalinTest0";

// A value under SERIALCOMM for the life of the object.
class CSerialCommValue
{
  public:
    explicit CSerialCommValue(const std::wstring& data)
    {
        HKEY key = nullptr;
        m_lResult = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                    REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
        if (m_lResult != ERROR_SUCCESS)
            return;
        m_lResult = RegSetValueExW(key, kTestDeviceW, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                   DWORD((data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~CSerialCommValue()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_SET_VALUE, &key) ==
            ERROR_SUCCESS)
        {
            RegDeleteValueW(key, kTestDeviceW);
            RegCloseKey(key);
        }
    }
    CSerialCommValue(const CSerialCommValue&) = delete;
    CSerialCommValue& operator=(const CSerialCommValue&) = delete;
    LONG Result() const { return m_lResult; }

  private:
    LONG m_lResult = ERROR_SUCCESS;
};

class CRecordingStatus : public IStatusControl
{
  public:
    void SetText(const std::string& text) override { m_texts.push_back(text); }
    std::vector<std::string> m_texts;
};

// A path as UTF-8 text, the way corvalin-cli takes it on its command line.
std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

TEST(Win32SerialMap, ComValuesGiveTheirPortAndAnythingElseNoBridge)
{
    {
        CSerialCommValue value(L"COM12");
        ASSERT_EQ(ERROR_SUCCESS, value.Result());
        auto port = platform::LookupSerialPort(kTestDevice);
        ASSERT_TRUE(port.has_value());
        EXPECT_EQ("COM12", port->m_strName);
        EXPECT_EQ("\\\\.\\COM12", port->m_strPath);
    }
    // Removed again, the value means no bridge.
    EXPECT_FALSE(platform::LookupSerialPort(kTestDevice).has_value());

    // A value that names no COM port is no bridge either: there is nothing to open.
    for (const wchar_t* data : {L"COM", L"COMx", L"com3", L"LPT1", L"", L"COM0", L"\\\\.\\COM5"})
    {
        CSerialCommValue value(data);
        ASSERT_EQ(ERROR_SUCCESS, value.Result());
        EXPECT_FALSE(platform::LookupSerialPort(kTestDevice).has_value())
            << std::string(data, data + wcslen(data));
    }
}

TEST(Win32SerialMap, EveryBridgeValueIsListedInIndexOrder)
{
    // Indices no other test uses; values that are not a bridge's COM port are left out.
    const std::pair<const char*, const char*> values[] = {{"\\Device\\Silabser41", "COM41"},
                                                          {"\\Device\\Silabser40", "COM40"},
                                                          {"\\Device\\Silabser42", "LPT1"},
                                                          {"\\Device\\Silabser4x", "COM43"}};
    for (const auto& [device, port] : values)
        fixtures::SetSerialCommValue(device, port);
    std::vector<std::string> listed;
    for (const platform::CBridgePort& bridge : platform::ListBridgePorts())
    {
        if (bridge.m_nIndex >= 40 && bridge.m_nIndex <= 49)
            listed.push_back(bridge.m_strDevice + " " + bridge.m_port.m_strName);
    }
    for (const auto& [device, port] : values)
        fixtures::SetSerialCommValue(device, "");
    EXPECT_EQ(listed, (std::vector<std::string>{"\\Device\\Silabser40 COM40", "\\Device\\Silabser41 COM41"}));
}

TEST(Win32SerialPort, APortThatIsNotThereIsNotFound)
{
    platform::CSerialPort port;
    EXPECT_FALSE(port.Open("\\\\.\\COM199", platform::CPortTimeouts{}));
    EXPECT_EQ(platform::ESerialError::NotFound, port.LastError());
    EXPECT_FALSE(port.IsOpen());
    // A closed port refuses reads and writes rather than touching an old handle.
    uint8_t one = 0;
    std::size_t count = 1;
    const std::atomic<bool> stop{false};
    EXPECT_FALSE(port.Read(&one, 1, count, nullptr, stop));
    EXPECT_EQ(0u, count);
    EXPECT_FALSE(port.Write(&one, 1, count, stop));
}

TEST(Win32SerialPort, APortHeldByAnotherProgramGetsTheBusyHint)
{
    // A COM port that another program holds opens with "access denied". Wine opens COM
    // ports for any number of programs, so a folder, which opens with that error too,
    // stands in for the held port.
    CTempDir dir;
    const std::filesystem::path held = dir / "held";
    std::filesystem::create_directory(held);
    platform::CSerialPort port;
    EXPECT_FALSE(port.Open(Utf8(held), platform::CPortTimeouts{}));
    EXPECT_EQ(platform::ESerialError::Busy, port.LastError());

    WriteFileBytes(dir / "in.img", BuildImageFile({}));
    CProcessResult r = RunProcess(CORVALIN_CLI_PATH, {"update", Utf8(dir / "in.img"), "--port", Utf8(held)});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos,
              r.err.find("Unable to open the device\nhint: the port is in use by another program ("))
        << r.err;
}

TEST(Win32Sound, TheChimeReturnsWithoutASoundDeviceAndOnAStop)
{
    std::size_t size = 0;
    const uint8_t* chime = CompletionChime(size);
    // Wine here has no sound card: the call must come back, whatever it reports.
    std::atomic<bool> stop{false};
    PlayWaveSync(chime, size, stop);
    // A stop given while it plays ends it.
    std::thread stopper(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            stop.store(true);
        });
    PlayWaveSync(chime, size, stop);
    stopper.join();
    EXPECT_FALSE(PlayWaveSync(chime, size, stop));
}

TEST(Win32Files, ImagesLoadAndStoreUnderNonAsciiFolderNames)
{
    CTempDir dir;
    const std::filesystem::path folder = dir.Path() / std::filesystem::path(u8"Bilder é 日本");
    std::filesystem::create_directory(folder);
    CImageSpec imageSpec;
    imageSpec.params = RealisticParameters(false);
    const Bytes original = BuildImageFile(imageSpec);
    const std::filesystem::path in = folder / std::filesystem::path(u8"café 日本.img");
    WriteFileBytes(in, original);

    CRecordingStatus status;
    CUpdater updater;
    updater.AttachControls(nullptr, &status);
    ASSERT_EQ(1, updater.LoadImageFile(in)) << status.m_texts.back();
    const std::filesystem::path out = folder / std::filesystem::path(u8"né 日本.img");
    updater.StoreImageFile(out);
    EXPECT_EQ("Image stored", status.m_texts.back());
    EXPECT_EQ(original, ReadFileBytes(out));
}

TEST(Win32Files, BundlesAndCcfFilesOpenUnderNonAsciiFolderNamesInTheCoreAndTheCli)
{
    CTempDir dir;
    const std::filesystem::path folder = dir.Path() / std::filesystem::path(u8"Kunden/Müller/日本");
    std::filesystem::create_directories(folder);
    CImageSpec imageSpec;
    imageSpec.name = "P1";
    imageSpec.params = {{0x30120001, 22}}; // CH0.Volume
    const Bytes image = BuildImageFile(imageSpec);
    const std::filesystem::path imagePath = folder / std::filesystem::path(u8"Gerät é.img");
    WriteFileBytes(imagePath, image);
    const std::filesystem::path bundle = folder / std::filesystem::path(u8"Bündel 日本.zip");
    WriteZip(bundle, {{"image.info", {}}, {"p1.enc", image}});
    const std::filesystem::path ccfPath = folder / std::filesystem::path(u8"Fernbedienung é.ccf");
    CCcfBuilder ccf;
    ccf.SetHeaderPanels(ccf.Panel("P", {ButtonAt(0, 0, ccf.IrButton("Vol+", NecCode(4, 8)))}));
    WriteFileBytes(ccfPath, ccf.Build());

    CRecordingStatus status;
    CUpdater updater;
    updater.AttachControls(nullptr, &status);
    EXPECT_EQ(EProductLoad::Loaded, SelectBundleProductByName(updater, bundle, "p1.enc", 0).m_nResult);
    CcfReader reader(nullptr);
    ASSERT_TRUE(reader.Load(ccfPath));
    reader.Walk();
    EXPECT_EQ(1u, reader.Keys().size());

    const std::string volume = PadLabel("CH0.Volume") + " :   022\n";
    CProcessResult r = RunProcess(CORVALIN_CLI_PATH, {"params", Utf8(imagePath)});
    EXPECT_EQ(volume, r.out) << r.err;
    r = RunProcess(CORVALIN_CLI_PATH, {"products", Utf8(bundle)});
    EXPECT_EQ("p1.enc\n", r.out) << r.err;
    const std::filesystem::path stored = folder / std::filesystem::path(u8"neu 日本.img");
    r = RunProcess(CORVALIN_CLI_PATH,
                   {"set", Utf8(bundle), "--product", "p1.enc", "-o", Utf8(stored), "CH0.Volume=30"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    r = RunProcess(CORVALIN_CLI_PATH, {"params", Utf8(stored)});
    EXPECT_EQ(PadLabel("CH0.Volume") + " :   030\n", r.out) << r.err;
    r = RunProcess(CORVALIN_CLI_PATH, {"ccf", Utf8(ccfPath)});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("\"label\": \"Vol+\"")) << r.out;
    // A file that is not there is named in the error as it was given.
    const std::string missing = Utf8(folder / std::filesystem::path(u8"fehlt ü.img"));
    r = RunProcess(CORVALIN_CLI_PATH, {"params", missing});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(0u, r.err.find("corvalin-cli: " + missing + ": ")) << r.err;
}

TEST(Win32Files, AStoreOverAFileHeldByAnotherProgramLeavesItWhole)
{
    CTempDir dir;
    CRecordingStatus status;
    CUpdater updater;
    updater.AttachControls(nullptr, &status);
    ASSERT_EQ(1, updater.LoadImageFile(
                     [&]
                     {
                         auto in = dir / "in.img";
                         WriteFileBytes(in, BuildImageFile({}));
                         return in;
                     }()));
    const Bytes old(3000, 0x5A);
    const auto target = dir / "held.img";
    WriteFileBytes(target, old);

    // Held without sharing, then held by a reader that lets others read only: the
    // first refuses the store at once, the second only when the new file is put in
    // its place.
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ)})
    {
        HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        updater.StoreImageFile(target);
        CloseHandle(held);
        EXPECT_EQ("Unable to write the file", status.m_texts.back()) << "share " << share;
        EXPECT_EQ(old, ReadFileBytes(target)) << "share " << share;
        // Nothing is left beside it.
        EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(dir.Path()), {})) << "share " << share;
    }

    // A new file that cannot be moved (held open without leave to delete it) is not
    // put in place, and the old file keeps its name and bytes.
    const auto fresh = dir / "fresh.img";
    WriteFileBytes(fresh, Bytes(100, 0x11));
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE)})
    {
        HANDLE held = CreateFileW(fresh.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        EXPECT_FALSE(platform::ReplaceFileWith(fresh, target)) << "share " << share;
        CloseHandle(held);
        EXPECT_EQ(old, ReadFileBytes(target)) << "share " << share;
        EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(dir.Path()), {})) << "share " << share;
    }
}

#endif
