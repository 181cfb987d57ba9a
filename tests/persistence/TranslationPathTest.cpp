// The translation file's path from the program's path: the last dot of the whole path.
#include <gtest/gtest.h>

#include <string>

#include "persistence/TranslationPath.h"

namespace {

std::u16string PathFor(const std::u16string& modulePath, int32_t capacity = kModulePathCapacity) {
    std::u16string out(static_cast<size_t>(capacity), u'#');
    if (!TranslationPathFromModulePath(modulePath.c_str(), &out[0], capacity)) {
        EXPECT_EQ(u'\0', out[0]) << "a refused path leaves the output empty";
        return u"<refused>";
    }
    return std::u16string(out.c_str());
}

TEST(TranslationPathTest, ExtensionIsReplacedByTxt) {
    EXPECT_EQ(u"C:\\Programas\\emul.txt", PathFor(u"C:\\Programas\\emul.exe"));
    EXPECT_EQ(u"C:\\Programas\\emul.v2.txt", PathFor(u"C:\\Programas\\emul.v2.exe"));
    EXPECT_EQ(u"C:\\x\\emul.txt", PathFor(u"C:\\x\\emul."));
}

TEST(TranslationPathTest, PathWithoutDotGetsTxtAppended) {
    EXPECT_EQ(u"C:\\Programas\\emul.txt", PathFor(u"C:\\Programas\\emul"));
    EXPECT_EQ(u".txt", PathFor(u""));
}

TEST(TranslationPathTest, LastDotMayLieInAFolderName) {
    EXPECT_EQ(u"C:\\Meus.txt", PathFor(u"C:\\Meus.Programas\\emul"));
    EXPECT_EQ(u"D:\\Ferramentas\\Ombrix 1.txt", PathFor(u"D:\\Ferramentas\\Ombrix 1.5\\emul"));
}

TEST(TranslationPathTest, ResultThatDoesNotFitIsRefusedNotCut) {
    EXPECT_EQ(u"a.txt", PathFor(u"a.exe", 6));
    EXPECT_EQ(u"<refused>", PathFor(u"a.exe", 5));
    EXPECT_EQ(u"<refused>", PathFor(u"abc", 7));
    const std::u16string longest(kModulePathCapacity - 1, u'x');
    EXPECT_EQ(u"<refused>", PathFor(longest));
    EXPECT_EQ(std::u16string(kModulePathCapacity - 5, u'x') + u".txt",
              PathFor(std::u16string(kModulePathCapacity - 5, u'x')));
}

}  // namespace
