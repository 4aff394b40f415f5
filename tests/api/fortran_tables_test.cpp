// The table writers called the way a Fortran program calls them: blank-padded
// CHARACTER values with hidden lengths print exactly as the C++ call with the
// texts unpadded, and all-blank labels stand for row and column numbers.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "errors/error_layer.hpp"
#include "ksatfit/tables.hpp"
#include "ksatfit_fortran.h"

namespace ksatfit {
namespace {

template <class Print>
std::string printed(Print print) {
  testing::internal::CaptureStdout();
  print();
  return testing::internal::GetCapturedStdout();
}

TEST(FortranTables, PaddedTextsPrintAsTheCppCall) {
  const float A[6] = {12.5f, 25.0f, 50.0f, 0.412f, 0.857f, 1.63f};
  const std::string_view headings[] = {"Load%/(kPa)", "Settlement%/(mm)"};
  const std::string cpp = printed([&] {
    TABMAT("Readings", 3, 2, A, 3, "(F8.1,W12.4)", "Reading", nullptr, headings);
  });
  // CHARACTER*12 TITLE, FMT; CHARACTER*10 RHEAD; CHARACTER*4 RLABEL(3) (blank);
  // CHARACTER*16 CLABEL(2).
  const int nra = 3, nca = 2, lda = 3;
  const std::string rlabel(12, ' ');
  const std::string clabel = "Load%/(kPa)     Settlement%/(mm)";
  const std::string fortran = printed([&] {
    tabmat_("Readings    ", &nra, &nca, A, &lda, "(F8.1,W12.4)", "Reading   ", rlabel.data(),
            clabel.data(), 12, 12, 10, 4, 16);
  });
  EXPECT_EQ(fortran, cpp);
  EXPECT_NE(cpp.find("Settlement"), std::string::npos);

  const float AOV[15] = {2.0f, 4.0f, 6.0f, 8.0f, 1.0f, 9.0f, 4.0f, 0.25f, 16.0f, 0.0115f,
                         88.89f, 83.33f, 0.5f, 12.5f, 4.0f};
  const std::string_view rows[] = {"Model", "Error", "Total"};
  const std::string aov_cpp = printed([&] { TABAOV("", rows, AOV); });
  const std::string aov_fortran =
      printed([&] { tabaov_("    ", "Model  Error  Total  ", AOV, 4, 7); });
  EXPECT_EQ(aov_fortran, aov_cpp);

  int value = 0;
  const int width = 1, narrow = 60;
  tabset_(&width, &narrow);
  tabget_(&width, &value);
  EXPECT_EQ(value, 60);
  const int initial = 78;
  tabset_(&width, &initial);
}

}  // namespace
}  // namespace ksatfit
