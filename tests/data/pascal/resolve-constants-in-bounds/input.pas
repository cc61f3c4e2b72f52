unit Bounds;

interface

const
  MaxLen = 30;
  Wide = $20;                       { hex }
  Half = MaxLen div 2;              { an earlier constant }
  Rows = (MaxLen + 2) * 2 mod 7;    { parentheses, *, mod: 64 mod 7 = 1 }
  Neg = -3;
  Shifted = Half - -Neg;            { 15 - 3 }
  maxlen_twice = maxLEN * 2;        { names ignore letter case }
  Title: string = 'typed';          { a typed constant is no constant }

type
  TBounds = record
    Name: String[MaxLen];
    Code: String[Wide];
    Grid: array[1..Half, 0..Rows] of Integer;
    Around: array[Neg..Shifted] of Byte;
    Twice: array[1..MAXLEN_TWICE] of Char;
    Sum: array[1..MaxLen + 1] of Byte;
    Typed: array[1..Title] of Byte;
    Tail: Word;
  end;

implementation

end.
