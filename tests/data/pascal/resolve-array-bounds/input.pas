type
  TBounds = record
    One: array[5] of Integer;
    Two: array[1..10] of Integer;
    Same: array[5..5] of Integer;
    Zero: array[0..0] of Integer;
    Down: array[3..1] of Integer;
    Negative: array[-2..2] of Integer;
    Spaced: array [ 1 .. 4 ] of Word;
    Dotted: array[1...3] of Byte;
    FirstOnly: array[1..2] of String[10];
    Open: array of Integer;
  end;
