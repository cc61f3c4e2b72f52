unit Names;

interface

const
  NameLen = 10;

type
  TName = String[NameLen];
  TKind = (kA, kB, kC);
  TPoint = record X, Y: SmallInt; end;
  TAddr = record
    Street, City: TName;
    Zip, Box: array[1..5] of Char;
  end;

  TRec = packed record
    Id, Seq: LongInt;
    Home, Work: TAddr;
    P, Q: TPoint;
    Inner1, Inner2: record Lo, Hi: Byte; end;
    After: Word;
    case Kind: TKind of
      kA: (Left, Right: Word; Name1, Name2: TName);
      kB, kC: (
        Sum, Count: Double;
        case Integer of
          1: (U, V: Byte);
          2: (W: LongInt));
  end;

  TNext = record
    Size1, Size2: array[1..SizeOf(TPoint)] of Byte;
    Spare1, Spare2: Cardinal;
    Link1, Link2: ^TRec;
    Last: Byte;
  end;

  TWrap = record R: TRec; Tail: Byte; end;

implementation

end.
