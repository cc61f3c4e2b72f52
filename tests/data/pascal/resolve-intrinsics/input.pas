unit Intrinsics;

interface

const
  MaxItems = 5;

type
  TSmall = 1..8;
  THeader = packed record
    Magic: array[0..3] of Char;
    Count: Word;
  end;
  TCodes = array[Low(TSmall)..High(TSmall)] of Byte;

const
  HeaderSize = SizeOf(THeader);
  BufSize = SizeOf(THeader) * 2 + SizeOf(Word);

type
  TRec = record
    Header: array[1..HeaderSize] of Byte;
    Buffer: array[0..BufSize - 1] of Char;
    Codes: TCodes;
    Letters: array[Ord('A')..Ord('Z')] of Boolean;
    Next: array[Succ(0)..Pred(MaxItems)] of Word;
    Initial: array[Chr(65)..Chr(70)] of Byte;
    Raw: array[1..SizeOf(Real)] of Byte;
    Wide: array[1..High(Integer)] of Byte;
    Later: array[1..SizeOf(TLate)] of Byte;
    Tail: Byte;
  end;

  TLate = record B: Byte end;

implementation

end.
