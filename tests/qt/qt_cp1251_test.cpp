#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include "base/cp1251.h"

using namespace velmora;

// Qt's Windows-1251 codec comes from ICU, which a Qt without it (the Windows build) lacks;
// the program itself never uses it.
#define SKIP_WITHOUT_QT_CP1251()                                                   \
  if (!QStringDecoder("windows-1251").isValid())                                   \
  GTEST_SKIP() << "this Qt has no Windows-1251 codec (built without ICU)"

TEST(QtCp1251, DecoderAgreesOnAll256Bytes) {
  SKIP_WITHOUT_QT_CP1251();
  QStringDecoder decoder("windows-1251");
  ASSERT_TRUE(decoder.isValid());
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    const QString qt = decoder.decode(QByteArray(&byte, 1));
    ASSERT_EQ(qt.size(), 1) << "byte " << b;
    EXPECT_EQ(static_cast<char32_t>(qt.at(0).unicode()),
              cp1251::ToUnicode(static_cast<unsigned char>(b)))
        << "byte " << b;
  }
}

TEST(QtCp1251, EncoderAgreesOnAll256Characters) {
  SKIP_WITHOUT_QT_CP1251();
  QStringEncoder encoder("windows-1251");
  ASSERT_TRUE(encoder.isValid());
  for (int b = 0; b < 256; ++b) {
    const char32_t ch = cp1251::ToUnicode(static_cast<unsigned char>(b));
    unsigned char ours = 0;
    ASSERT_TRUE(cp1251::FromUnicode(ch, ours));
    const QByteArray qt = encoder.encode(QString(QChar(static_cast<char16_t>(ch))));
    ASSERT_EQ(qt.size(), 1) << "byte " << b;
    EXPECT_EQ(static_cast<unsigned char>(qt.at(0)), ours) << "byte " << b;
  }
}

TEST(QtCp1251, Utf8TextMatchesQt) {
  SKIP_WITHOUT_QT_CP1251();
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  QStringDecoder decoder("windows-1251");
  const QString qt = decoder.decode(QByteArray(all.data(), static_cast<int>(all.size())));
  EXPECT_EQ(cp1251::ToUtf8(all), qt.toUtf8().toStdString());
  EXPECT_EQ(cp1251::FromUtf8(qt.toUtf8().toStdString()), all);
}
