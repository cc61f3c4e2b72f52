unit Inline;

interface

type
  TInline = record
    Head: record
      A: Byte;
      B: Word;
    end;
    Pair: packed record X: SmallInt; Y: SmallInt end;
    Rows: array[1..2] of record N: Byte; S: String[3] end;
    Choice: record
      case Boolean of
        True: (L: LongInt);
        False: (W: Word)
    end;
    Tail: Byte;
  end;

  TRows = array[0..3] of packed record K: Word end;

  TAfter = record
    Rows: TRows;
    Inner: TInline;
    Bad: record P: ^Byte end;
    Z: Byte;
  end;

implementation

end.
