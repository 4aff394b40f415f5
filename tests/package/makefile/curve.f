C     Fits a parabola through three points with RCURV, evaluates the F
C     distribution with FDF, then fits constant abscissas, which stops
C     the program.
      PROGRAM CURVE
      INTEGER NOBS, NDEG, NOUT, I
      REAL X(3), Y(3), XC(3), B(3), SSPOLY(3), STAT(10)
      REAL F, F0, DFN, DFD, FDF
      DATA X /1.0, 2.0, 3.0/, Y /1.0, 0.0, 1.0/, XC /2.0, 2.0, 2.0/
      NOBS = 3
      NDEG = 2
      CALL UMACH(2, NOUT)
      WRITE (NOUT, 100) NOUT
      CALL RCURV(NOBS, X, Y, NDEG, B, SSPOLY, STAT)
      WRITE (NOUT, 110) (I, B(I), I = 1, 3)
      WRITE (NOUT, 120) (I, SSPOLY(I), I = 1, 3)
      WRITE (NOUT, 130) (I, STAT(I), I = 1, 10)
      F0 = 2.5
      DFN = 2.0
      DFD = 10.0
      F = FDF(F0, DFN, DFD)
      WRITE (NOUT, 140) F
      WRITE (NOUT, 150)
      CALL RCURV(NOBS, XC, Y, NDEG, B, SSPOLY, STAT)
      WRITE (NOUT, 160)
  100 FORMAT (' Unit', I3, ': RCURV on x = (1, 2, 3), y = (1, 0, 1)')
  110 FORMAT (' B(', I1, ')      =', 1PE16.8)
  120 FORMAT (' SSPOLY(', I1, ') =', 1PE16.8)
  130 FORMAT (' STAT(', I2, ')   =', 1PE16.8)
  140 FORMAT (' FDF(2.5, 2, 10) =', 1PE16.8)
  150 FORMAT (' RCURV on x = (2, 2, 2)')
  160 FORMAT (' Not reached: the fit above stops the program')
      END
