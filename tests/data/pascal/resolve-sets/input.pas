unit Sets;

interface

type
  TSmall = 1..8;
  TColor = (Red, Green, Blue);
  TFlags = record
    Chars: set of Char;
    Colors: set of TColor;
    Inline: set of (North, East, South, West);
    Letters: set of 'A'..'Z';
    Small: set of TSmall;
    ThreeBytes: set of 0..20;
    Words: set of Word;
    Last: Byte;
  end;

implementation

end.
