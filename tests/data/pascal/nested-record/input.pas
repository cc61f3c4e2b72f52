type
  TOuter = record
    A: Integer;
    Inner: record
      B: Byte;
    end;
    C: Word;
  end;
  TNext = record D: Byte; end;
