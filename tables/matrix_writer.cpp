// TABMAT: a real matrix with a title, row labels and column headings, each
// column edited by its entry of an edit-descriptor list.
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/tables.hpp"
#include "runtime/one_based.hpp"
#include "tables/edit_list.hpp"
#include "tables/table_layout.hpp"

namespace ksatfit {
namespace {

// Every check runs, in this order; each message's code is fixed by its check.
void check_matrix_arguments(int NRA, int NCA, int LDA, std::string_view FMT,
                            std::vector<FieldEdit>& edits) {
  if (NRA < 0) {
    E1STI(1, NRA);
    E1MES(5, 1,
          "NRA = %(I1).  The number of rows of A, NRA, must be greater than or equal to 0.");
  }
  if (NCA < 0) {
    E1STI(1, NCA);
    E1MES(5, 2,
          "NCA = %(I1).  The number of columns of A, NCA, must be greater than or equal to 0.");
  }
  if (NRA > 0 && NCA > 0 && LDA < NRA) {
    E1STI(1, NRA);
    E1STI(2, LDA);
    E1MES(5, 3,
          "NRA = %(I1) and LDA = %(I2).  The leading dimension of A, LDA, must be greater than "
          "or equal to the number of rows, NRA.");
  }
  if (!T1LIST(FMT, edits)) {
    E1STL(1, FMT);
    E1MES(5, 4,
          "FMT = %(L1).  The format, FMT, must be a list of edit descriptors Iw, Fw.d, Ew.d or "
          "Ww.d in parentheses, each with an optional repeat count, such as "
          "(2W10.4,F9.3,F7.4), with widths from 1 to 30.");
  }
}

}  // namespace

void TABMAT(std::string_view TITLE, int NRA, int NCA, const float* A, int LDA,
            std::string_view FMT, std::string_view RHEAD, const std::string_view* RLABEL,
            const std::string_view* CLABEL) {
  RoutineScope guard("TABMAT");
  std::vector<FieldEdit> edits;
  check_matrix_arguments(NRA, NCA, LDA, FMT, edits);
  if (N1RCD(0) != 0) return;

  TextTable t;
  t.title = T1LINES(TITLE);
  t.label_heading = T1LINES(RHEAD);
  t.labels_right = RLABEL == nullptr;
  for (int I = 1; I <= NRA; ++I) {
    t.labels.emplace_back(RLABEL == nullptr ? std::to_string(I) : std::string(RLABEL[I - 1]));
  }
  const Mat1<const float> a(A, LDA);
  for (int J = 1; J <= NCA; ++J) {
    // The list starts again from its first entry when the columns outnumber it.
    const FieldEdit& edit = edits[static_cast<std::size_t>(J - 1) % edits.size()];
    TableColumn column;
    column.heading = CLABEL == nullptr ? std::vector<std::string>{std::to_string(J)}
                                       : T1LINES(CLABEL[J - 1]);
    column.width = edit.w;
    for (int I = 1; I <= NRA; ++I) column.cells.push_back(T1EDIT(a(I, J), edit));
    t.columns.push_back(std::move(column));
  }
  T1TAB(t);
}

}  // namespace ksatfit
