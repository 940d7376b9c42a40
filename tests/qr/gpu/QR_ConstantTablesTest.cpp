// The translation tables of both backends as data: where each reports a rejection, which tables
// Direct3D 11 shares with Direct3D 10, and the one translation function that reads them.

#include "QC_Log.h"
#include "QP_GraphicsTypes.h"
#include "QR_Constants_DX10.h"
#include "QR_Constants_DX11.h"
#include "QR_Descriptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct NamedTable
{
    const char* name;
    const QR_ConstantTable& table;
};

// The tables of a set with their names, in the set's order.
std::vector<NamedTable> TablesOf(const QR_ConstantSet& set)
{
    return {{"blend", set.blend},         {"blendOp", set.blendOp},
            {"writeMask", set.writeMask}, {"comparisonFunc", set.comparisonFunc},
            {"stencilOp", set.stencilOp}, {"cullMode", set.cullMode},
            {"fillMode", set.fillMode},   {"filter", set.filter},
            {"textureAddress", set.textureAddress}, {"usage", set.usage},
            {"primitive", set.primitive}, {"vertexAccess", set.vertexAccess},
            {"indexAccess", set.indexAccess}};
}
} // namespace

TEST(QR_ConstantTablesTest, EachBackendsTablesReportAtItsOwnConstantsUnitAndDirect3D11SharesTheRest)
{
    for (const NamedTable& entry : TablesOf(QR_Constants_DX10::set)) {
        EXPECT_STREQ(entry.table.file, "frame/qr/dx10/QR_Constants_DX10.cpp") << entry.name;
        EXPECT_GT(entry.table.line, 0) << entry.name;
        EXPECT_GT(entry.table.count, 0) << entry.name;
        ASSERT_NE(entry.table.message, nullptr) << entry.name;
        EXPECT_NE(std::string(entry.table.message).find("%d."), std::string::npos) << entry.name;
    }
    const std::vector<NamedTable> dx10 = TablesOf(QR_Constants_DX10::set);
    const std::vector<NamedTable> dx11 = TablesOf(QR_Constants_DX11::set);
    ASSERT_EQ(dx10.size(), dx11.size());
    for (std::size_t i = 0; i < dx10.size(); ++i) {
        const bool own = dx11[i].table.file == std::string("frame/qr/dx11/QR_Constants_DX11.cpp");
        const bool differs = std::string(dx11[i].name) == "blendOp" || std::string(dx11[i].name) == "filter";
        EXPECT_EQ(own, differs) << dx11[i].name;
        if (!differs)
            EXPECT_EQ(&dx11[i].table, &dx10[i].table) << dx11[i].name << " is Direct3D 10's table";
        EXPECT_STREQ(dx11[i].table.message, dx10[i].table.message) << dx11[i].name;
    }
    EXPECT_STREQ(QR_Constants_DX10::set.vertexProfile, "vs_4_0");
    EXPECT_STREQ(QR_Constants_DX10::set.pixelProfile, "ps_4_0");
    EXPECT_STREQ(QR_Constants_DX11::set.vertexProfile, "vs_5_0");
    EXPECT_STREQ(QR_Constants_DX11::set.pixelProfile, "ps_5_0");
}

TEST(QR_ConstantTablesTest, TranslationGivesThePlatformValueOrEndsWithTheTablesMessageAndPlace)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QC_CreateLog(QC_LogConfig{});
    const QR_ConstantSet& dx10 = QR_Constants_DX10::set;
    const QR_ConstantSet& dx11 = QR_Constants_DX11::set;
    EXPECT_EQ(QR_Translate<QP_BlendOp>(dx10.blendOp, QR_BlendOp::Max), QP_BLEND_OP_MAX);
    EXPECT_EQ(QR_Translate<QP_BlendOp>(dx11.blendOp, QR_BlendOp::Subtract), QP_BLEND_OP_SUBTRACT);
    EXPECT_EQ(QR_Translate<QP_Filter>(dx10.filter, QR_Filter::Linear), QP_FILTER_MIN_MAG_MIP_LINEAR);
    EXPECT_EQ(QR_Translate<QP_Filter>(dx11.filter, QR_Filter::Anisotropic), QP_FILTER_ANISOTROPIC);
    EXPECT_EQ(QR_Translate<QP_Map>(dx10.vertexAccess, QR_Access::Write), QP_MAP_WRITE_DISCARD);
    EXPECT_EQ(QR_Translate<QP_Map>(dx10.indexAccess, QR_Access::Write), QP_MAP_WRITE_NO_OVERWRITE);
    EXPECT_EQ(QR_Translate<std::uint8_t>(dx11.writeMask, 0), QP_COLOR_WRITE_ENABLE_ALL);

    // A value rejected inside the table, and values past either end of it.
    EXPECT_EXIT(QR_Translate<QP_Blend>(dx10.blend, 6), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "frame/qr/dx10/QR_Constants_DX10\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unkown blend 6\\.");
    EXPECT_EXIT(QR_Translate<QP_PrimitiveTopology>(dx11.primitive, -1), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "frame/qr/dx10/QR_Constants_DX10\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unknown primitive -1\\.");
    EXPECT_EXIT(QR_Translate<QP_Filter>(dx11.filter, QR_Filter::Linear), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "frame/qr/dx11/QR_Constants_DX11\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unknown filter 2\\.");
    EXPECT_EXIT(QR_Translate<QP_BlendOp>(dx11.blendOp, 1000000), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "frame/qr/dx11/QR_Constants_DX11\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unkown blend op 1000000\\.");
    QC_DestroyLog();
}
