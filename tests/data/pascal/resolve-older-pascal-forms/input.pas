unit Older;

interface

const
  Top = 10;

type
  TLabel = array[0..31] of Char;   { an alias of an array }
  PEntry = ^TEntry;
  TEntry = record
    Caption: TLabel;
    Count: LongInt;
    Flag: Boolean
  end;                              { no ";" before END }
  TEntryFile = file of TEntry;
  TLetters = 'a'..'q';
  TStep = (sOne, sTwo, sThree, sFour, sFive);
  TMiddle = sTwo..sFour;
  TTable = record
    PerLetter: array [TLetters] of Byte;
    PerInline: array [(north, east, south, west)] of Byte;
    PerChar: array ['A'..'Z'] of Boolean;
    PerCode: array [#48..#57] of Byte;
    Grid: array [TMiddle, 0..Top] of Word;
    Entries: packed array [1..2] of TEntry
  END;

implementation

end.
