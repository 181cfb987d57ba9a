// The translation file's path from the program's path: the last dot of the whole path.
// Portable, so it also runs in the Windows build under Wine.
#include <gtest/gtest.h>

#include <string>

#include "text/TranslationPath.h"

namespace {

TEST(TranslationPathTest, LastDotOfThePathStartsTxtAndNoDotAppendsDotTxtUnlessItDoesNotFit) {
    const std::u16string fills(kModulePathCapacity - 5, u'x');
    struct Case {
        std::u16string modulePath;
        int32_t capacity;
        std::u16string expected;  // empty: refused
    };
    const Case cases[] = {
        {u"C:\\Programas\\emul.exe", kModulePathCapacity, u"C:\\Programas\\emul.txt"},
        {u"C:\\Programas\\emul.v2.exe", kModulePathCapacity, u"C:\\Programas\\emul.v2.txt"},
        {u"C:\\x\\emul.", kModulePathCapacity, u"C:\\x\\emul.txt"},
        {u"C:\\Programas\\emul", kModulePathCapacity, u"C:\\Programas\\emul.txt"},
        {u"", kModulePathCapacity, u".txt"},
        {u"D:\\Ferramentas\\Ombrix 1.5\\emul", kModulePathCapacity, u"D:\\Ferramentas\\Ombrix 1.txt"},
        {u"a.exe", 6, u"a.txt"},
        {u"a.exe", 5, u""},
        {fills, kModulePathCapacity, fills + u".txt"},
        {fills + u"xxxx", kModulePathCapacity, u""},
    };
    for (const Case& c : cases) {
        std::u16string out(static_cast<size_t>(c.capacity), u'#');
        const bool made = TranslationPathFromModulePath(c.modulePath.c_str(), &out[0], c.capacity);
        EXPECT_EQ(!c.expected.empty(), made) << "case " << (&c - cases);
        EXPECT_EQ(c.expected, std::u16string(out.c_str()))
            << "case " << (&c - cases) << "; a refused path leaves the output empty";
    }
}

}  // namespace
