// The IR key buttons as they are painted: each bitmap form pixel for pixel, the
// caption's grey level and size, the focus outline, and the function key's raised
// and flat looks.

#include "gui/qt/FunctionKeyButton.h"
#include "gui/qt/SourceKeyButton.h"
#include "tests/gui_ir/IrGuiTestSupport.h"

#include <QFontMetrics>
#include <QTest>

#include <cstdint>
#include <vector>

using namespace corvalin;
using namespace corvalin::irguitest;

namespace
{

using Greys = std::vector<int>;

constexpr int kBlack = 0, kDark = 85, kLight = 170, kWhite = 255;

// Compares every pixel of the key with the expected greys, row by row.
void ExpectPixels(CSourceKeyButton& key, const Greys& expected)
{
    const QImage image = GrabPixels(&key);
    QCOMPARE(image.width() * image.height(), int(expected.size()));
    for (int y = 0; y < image.height(); ++y)
    {
        for (int x = 0; x < image.width(); ++x)
        {
            const int want = expected[std::size_t(y * image.width() + x)];
            if (GreyAt(image, x, y) != want)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): grey %3, expected %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(GreyAt(image, x, y))
                                     .arg(want)));
        }
    }
}

// The bounding box of the pixels brighter than black.
QRect InkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) > 0)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class KeyButtonsTest : public QObject
{
    Q_OBJECT

  private slots:
    void OneBitRowsRunOnWithoutAlignment();
    void TwoBitRowsAreAlignedToEightPixels();
    void RunLengthFillsAcrossRowEnds();
    void GreyBytesUseRowsOfWidthRoundedUpToEight();
    void ShortPixelDataLeavesTheFrame();
    void BitmapIsDecodedOnceAtItsButtonSize();
    void CaptionGreyLevelUsesTheLowTwoBits();
    void CaptionPointSizeFollowsTheFontSize();
    void ColourFilesPaintPaletteColours();
    void FocusOutlineRunsRoundTheKey();
    void DrawingWithoutFocusIsReported();
    void FunctionKeyIsFlatOnlyForARealProtocol();
    void KeysAreDrawnSunkenWhilePressed();
};

void KeyButtonsTest::OneBitRowsRunOnWithoutAlignment()
{
    // Width 10: the first byte 01 gives one white and seven black pixels; the second
    // row starts at bit 2 of the second byte.
    const uint8_t bits[] = {0x01, 0x04 | 0x80, 0x00};
    CSourceKeyButton key;
    key.resize(10, 2);
    key.SetBitmap(0x0000, bits, sizeof bits);
    Greys expected(20, kBlack);
    expected[0] = kWhite;
    expected[10] = kWhite; // n = 10: byte 1, bit 2
    expected[15] = kWhite; // n = 15: byte 1, bit 7
    ExpectPixels(key, expected);
}

void KeyButtonsTest::TwoBitRowsAreAlignedToEightPixels()
{
    // Width 10 takes 16 pixels (4 bytes) a row; the six beyond the key are not seen.
    const uint8_t bits[] = {0x1B, 0xE4, 0x55, 0xFF,  // row 0
                            0xAA, 0x00, 0x1B, 0x00}; // row 1
    CSourceKeyButton key;
    key.resize(10, 2);
    key.SetBitmap(0x0001, bits, sizeof bits);
    const Greys expected = {
        kBlack, kDark,  kLight, kWhite, kWhite, kLight, kDark,  kBlack, kDark,  kDark,
        kLight, kLight, kLight, kLight, kBlack, kBlack, kBlack, kBlack, kBlack, kDark,
    };
    ExpectPixels(key, expected);
}

void KeyButtonsTest::BitmapIsDecodedOnceAtItsButtonSize()
{
    // A key cut to 4 x 1 pixels of a 12 x 2 one-bit picture: its row is the picture's
    // first row, and the picture is what SetBitmap saw, whatever the bytes are later.
    uint8_t bits[] = {0x05, 0xFF, 0xFF};
    CSourceKeyButton key;
    key.resize(4, 1);
    key.SetBitmap(0x0000, bits, sizeof bits, QSize(12, 2));
    bits[0] = 0xFF;
    ExpectPixels(key, {kWhite, kBlack, kWhite, kBlack});
}

void KeyButtonsTest::RunLengthFillsAcrossRowEnds()
{
    // 83: 4 white; 1B: dark, light, white; 85: 5 dark (crossing into row 1);
    // FE: 35 light; 1B: dark, light, white, which ends the 50 pixels. 83 is never read.
    const uint8_t stream[] = {0x83, 0x1B, 0x85, 0xFE, 0x1B, 0x83};
    CSourceKeyButton key;
    key.resize(10, 5);
    key.SetBitmap(0x0081, stream, sizeof stream);
    Greys expected;
    expected.insert(expected.end(), 4, kWhite);
    expected.insert(expected.end(), {kDark, kLight, kWhite});
    expected.insert(expected.end(), 5, kDark);
    expected.insert(expected.end(), 35, kLight);
    expected.insert(expected.end(), {kDark, kLight, kWhite});
    ExpectPixels(key, expected);

    // FF is the longest run: 35 pixels.
    const uint8_t longest[] = {0xFF, 0x00, 0x00};
    CSourceKeyButton wide;
    wide.resize(41, 1);
    wide.SetBitmap(0x0081, longest, sizeof longest);
    Greys wideExpected(35, kWhite);
    wideExpected.insert(wideExpected.end(), 6, kBlack);
    ExpectPixels(wide, wideExpected);
}

void KeyButtonsTest::GreyBytesUseRowsOfWidthRoundedUpToEight()
{
    std::vector<uint8_t> bytes(32, 0xEE); // 0xEE marks the padding that must not show
    for (int x = 0; x < 10; ++x)
    {
        bytes[std::size_t(x)] = uint8_t(10 * x);
        bytes[std::size_t(16 + x)] = uint8_t(200 + x);
    }
    CSourceKeyButton key;
    key.resize(10, 2);
    key.SetBitmap(0x0100 | 0x0081, bytes.data(), bytes.size()); // 0100 wins over the other bits
    Greys expected;
    for (int x = 0; x < 10; ++x)
        expected.push_back(10 * x);
    for (int x = 0; x < 10; ++x)
        expected.push_back(200 + x);
    ExpectPixels(key, expected);
}

void KeyButtonsTest::ShortPixelDataLeavesTheFrame()
{
    // Two bytes cover the first 16 pixels of a 1-bit 8 x 4 key; the rest is the frame
    // as a key without a bitmap draws it.
    const uint8_t bits[] = {0xFF, 0xFF};
    CSourceKeyButton plain;
    plain.resize(8, 4);
    const QImage frame = GrabPixels(&plain);
    CSourceKeyButton key;
    key.resize(8, 4);
    key.SetBitmap(0x0000, bits, sizeof bits);
    const QImage image = GrabPixels(&key);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            QCOMPARE(image.pixel(x, y), y < 2 ? qRgb(255, 255, 255) : frame.pixel(x, y));
}

void KeyButtonsTest::CaptionGreyLevelUsesTheLowTwoBits()
{
    // A black 8-bit bitmap under the caption: the caption's own pixels are the only
    // ones that are not black, and its full-strength pixels show its grey.
    const std::vector<uint8_t> black(64 * 32, 0);
    struct
    {
        uint8_t textColor;
        int grey;
    } cases[] = {{2, kLight}, {7, kWhite}, {1, kDark}};
    for (const auto& c : cases)
    {
        CSourceKeyButton key;
        key.resize(64, 32);
        key.SetBitmap(0x0100, black.data(), black.size());
        key.SetCaption(QStringLiteral("HIH"), c.textColor, 3);
        const QImage image = GrabPixels(&key);
        int brightest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                brightest = std::max(brightest, qGray(image.pixel(x, y)));
        QCOMPARE(brightest, c.grey);
        QCOMPARE(key.CaptionColor(), QColor(c.grey, c.grey, c.grey));
    }

    // Level 0 is black: on the black bitmap the caption leaves no trace.
    CSourceKeyButton key;
    key.resize(64, 32);
    key.SetBitmap(0x0100, black.data(), black.size());
    key.SetCaption(QStringLiteral("HIH"), 4, 3);
    QVERIFY(InkBox(GrabPixels(&key)).isEmpty());
}

void KeyButtonsTest::CaptionPointSizeFollowsTheFontSize()
{
    const std::vector<uint8_t> black(120 * 60, 0);
    int inkHeight[2] = {};
    const int fontSizes[2] = {0, 3};
    for (int i = 0; i < 2; ++i)
    {
        CSourceKeyButton key;
        key.resize(120, 60);
        key.SetBitmap(0x0100, black.data(), black.size());
        key.SetCaption(QStringLiteral("H"), 3, fontSizes[i]);
        QCOMPARE(key.PointSize(), 2 * fontSizes[i] + 6);
        QCOMPARE(key.CaptionFont().pointSize(), 2 * fontSizes[i] + 6);
        const QRect ink = InkBox(GrabPixels(&key));
        QVERIFY(!ink.isEmpty());
        // The capital's height on screen is the font's cap height, give or take the
        // anti-aliased edge rows.
        const int capHeight = QFontMetrics(key.CaptionFont()).capHeight();
        QVERIFY2(std::abs(ink.height() - capHeight) <= 2,
                 qPrintable(QStringLiteral("ink %1, cap height %2").arg(ink.height()).arg(capHeight)));
        // Centred on the key.
        QVERIFY(std::abs((ink.top() + ink.bottom()) / 2 - 30) <= 2);
        QVERIFY(std::abs((ink.left() + ink.right()) / 2 - 60) <= 2);
        inkHeight[i] = ink.height();
    }
    // 12 points against 6: twice as tall, within the rounding of small glyphs.
    QVERIFY2(inkHeight[1] >= 2 * inkHeight[0] - 3 && inkHeight[1] <= 2 * inkHeight[0] + 3,
             qPrintable(QStringLiteral("%1 against %2").arg(inkHeight[1]).arg(inkHeight[0])));
}

void KeyButtonsTest::FocusOutlineRunsRoundTheKey()
{
    // A white bitmap makes the black outline stand out.
    const std::vector<uint8_t> white(16 * 12, 255);
    QWidget window;
    window.resize(100, 100);
    auto* key = new CSourceKeyButton(&window);
    key->setGeometry(10, 10, 16, 12);
    key->SetBitmap(0x0100, white.data(), white.size());
    auto* other = new CSourceKeyButton(&window);
    other->setGeometry(10, 40, 16, 12);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());

    QImage image = GrabPixels(key);
    QCOMPARE(GreyAt(image, 0, 0), kWhite);
    key->setFocus();
    QTRY_VERIFY(key->hasFocus());
    image = GrabPixels(key);
    for (int x = 0; x < 16; ++x)
    {
        QCOMPARE(GreyAt(image, x, 0), kBlack);
        QCOMPARE(GreyAt(image, x, 11), kBlack);
    }
    for (int y = 0; y < 12; ++y)
    {
        QCOMPARE(GreyAt(image, 0, y), kBlack);
        QCOMPARE(GreyAt(image, 15, y), kBlack);
    }
    QCOMPARE(GreyAt(image, 1, 1), kWhite);
}

void KeyButtonsTest::DrawingWithoutFocusIsReported()
{
    QWidget window;
    window.resize(100, 100);
    auto* key = new CSourceKeyButton(&window);
    key->setGeometry(0, 0, 40, 20);
    auto* other = new CSourceKeyButton(&window);
    other->setGeometry(0, 40, 40, 20);
    int reports = 0;
    QObject::connect(key, &CSourceKeyButton::DrawnWithoutFocus, [&reports] { ++reports; });
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    key->setFocus();
    QTRY_VERIFY(key->hasFocus());

    reports = 0;
    key->repaint();
    QCOMPARE(reports, 0);
    other->setFocus();
    QTRY_VERIFY(reports > 0);
}

void KeyButtonsTest::FunctionKeyIsFlatOnlyForARealProtocol()
{
    CFunctionKeyButton key(QStringLiteral("Mute"));
    key.resize(80, 30);
    const QImage raised = GrabPixels(&key);

    // EMPTY is "nothing assigned", whatever the code.
    key.AssignCode(EIrProtocol::Empty, 0x1234);
    QCOMPARE(GrabPixels(&key), raised);

    for (int protocol = 1; protocol <= 8; ++protocol)
    {
        key.AssignCode(EIrProtocol(protocol), 0x1FE);
        QVERIFY2(GrabPixels(&key) != raised, qPrintable(QString::number(protocol)));
    }
    const QImage flat = GrabPixels(&key);
    key.AssignCode(EIrProtocol::Nec, 0);
    QCOMPARE(GrabPixels(&key), flat);

    key.ClearCode();
    QCOMPARE(key.Protocol(), EIrProtocol::Empty);
    QCOMPARE(key.Code(), 0u);
    QCOMPARE(GrabPixels(&key), raised);
}

void KeyButtonsTest::KeysAreDrawnSunkenWhilePressed()
{
    CSourceKeyButton source;
    source.resize(60, 24);
    source.SetCaption(QStringLiteral("Mute"), 0, 2);
    CFunctionKeyButton raisedKey(QStringLiteral("Mute"));
    raisedKey.resize(60, 24);
    CFunctionKeyButton flatKey(QStringLiteral("Mute"));
    flatKey.resize(60, 24);
    flatKey.AssignCode(EIrProtocol::Nec, 0x1FE);
    for (QAbstractButton* key : std::initializer_list<QAbstractButton*>{&source, &raisedKey, &flatKey})
    {
        const QImage up = GrabPixels(key);
        key->setDown(true);
        const QImage down = GrabPixels(key);
        QVERIFY(down != up);
        key->setDown(false);
        QCOMPARE(GrabPixels(key), up);
    }
}

void KeyButtonsTest::ColourFilesPaintPaletteColours()
{
    // A key from a colour file: its 8-bit bytes are palette indexes (5 red, 30 green,
    // 180 blue, 215 white), and its caption takes the palette colour of its text colour.
    std::vector<uint8_t> pixels(64 * 32, 180);
    for (int x = 0; x < 8; ++x)
    {
        pixels[std::size_t(x)] = 5;
        pixels[std::size_t(64 + x)] = 30;
        pixels[std::size_t(128 + x)] = 215;
    }
    CSourceKeyButton key;
    key.resize(64, 32);
    key.SetBitmap(0x0100, pixels.data(), pixels.size(), QSize(), true);
    key.SetCaption(QStringLiteral("HIH"), 5, 3, true);
    QCOMPARE(key.CaptionColor(), QColor(255, 0, 0));
    const QImage image = GrabPixels(&key);
    QCOMPARE(image.pixel(2, 0), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(2, 1), qRgb(0, 255, 0));
    QCOMPARE(image.pixel(2, 2), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(2, 20), qRgb(0, 0, 255));
    // The caption's full-strength pixels are red on the blue ground.
    bool red = false;
    for (int y = 4; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            red = red || image.pixel(x, y) == qRgb(255, 0, 0);
    QVERIFY(red);

    // The same bytes from a grey file are grey values, the caption a grey level.
    CSourceKeyButton grey;
    grey.resize(64, 32);
    grey.SetBitmap(0x0100, pixels.data(), pixels.size());
    grey.SetCaption(QStringLiteral("HIH"), 5, 3);
    QCOMPARE(grey.CaptionColor(), QColor(kDark, kDark, kDark));
    QCOMPARE(GrabPixels(&grey).pixel(2, 0), qRgb(5, 5, 5));
    QCOMPARE(GrabPixels(&grey).pixel(2, 20), qRgb(180, 180, 180));
}

QTEST_MAIN(KeyButtonsTest)
#include "gui_ir_key_buttons_test.moc"
