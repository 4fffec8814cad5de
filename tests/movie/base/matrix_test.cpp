// The one matrix: composition order, the two inverses (exact and for drawing) and where
// they differ, and points mapped through it.
#include "movie/base/matrix.h"

#include <gtest/gtest.h>

namespace orv::movie::base {
namespace {

TEST(Matrix, ComposesInnerFirstAndMapsPoints) {
  const Matrix scale = Matrix::scale(2, 3), move = Matrix::translate(10, 20);
  const Matrix m = move * scale;  // scale first
  EXPECT_EQ(m.mapX(1, 1), 12);
  EXPECT_EQ(m.mapY(1, 1), 23);
  EXPECT_EQ(scale * move, (Matrix{2, 0, 0, 3, 20, 60}));
  const Matrix skew{1, 0.5, -0.25, 1, 0, 0};
  EXPECT_EQ(skew.mapX(4, 8), 2);
  EXPECT_EQ(skew.mapY(4, 8), 10);
  EXPECT_EQ(skew.determinant(), 1.125);
  EXPECT_DOUBLE_EQ(Matrix::scale(4, 9).meanScale(), 6);
  EXPECT_DOUBLE_EQ(Matrix::scale(-4, 9).meanScale(), 6);
}

TEST(Matrix, InvertsExactlyOrForDrawing) {
  const Matrix m{2, 1, -1, 3, 40, -7};
  const std::optional<Matrix> exact = m.inverted();
  ASSERT_TRUE(exact);
  EXPECT_EQ(*exact, m.inverse());  // the same numbers where both invert
  EXPECT_TRUE(m.invertible());
  const Matrix back = *exact * m;
  EXPECT_NEAR(back.a, 1, 1e-15);
  EXPECT_NEAR(back.b, 0, 1e-15);
  EXPECT_NEAR(back.tx, 0, 1e-14);
  EXPECT_NEAR(back.ty, 0, 1e-14);

  // Singular: neither inverts.
  EXPECT_FALSE((Matrix{0, 0, 0, 0, 1, 1}.inverted()));
  EXPECT_EQ((Matrix{1, 2, 2, 4, 5, 5}.inverse()), (Matrix{0, 0, 0, 0, 0, 0}));
  // Nearly singular: an exact inverse exists, but drawing through it is not done.
  const Matrix thin = Matrix::scale(1e-7, 1e-7);
  EXPECT_TRUE(thin.inverted());
  EXPECT_FALSE(thin.invertible());
  EXPECT_EQ(thin.inverse(), (Matrix{0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace orv::movie::base
