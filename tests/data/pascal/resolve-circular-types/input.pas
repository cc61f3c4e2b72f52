unit Circles;

interface

const
  Loop = Loop + 1;
  Ping = Pong;
  Pong = Ping;

type
  TNode = record
    Value: Integer;
    Next: TNode;
    Count: Word;
  end;

  TOne = TTwo;
  TTwo = TOne;

  TSelf = array[1..2] of TSelf;

  TWrap = record
    Inner: TNode;
  end;

  TUses = record
    A: TOne;
    B: TTwo;
    C: TSelf;
    D: array[1..Loop] of Byte;
    E: array[1..Pong] of Byte;
    F: TWrap;
    G: Integer;
  end;

implementation

end.
