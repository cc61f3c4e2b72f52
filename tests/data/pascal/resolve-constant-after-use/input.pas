unit Later;

interface

type
  TEarly = record
    Before: Integer;
    Items: array[1..Count] of Byte;
    Name: String[NameLen];
    After: Word;
  end;

const
  Count = 10;
  NameLen = 20;

type
  TLate = record
    Items: array[1..Count] of Byte;
    Name: String[NameLen];
  end;

implementation

end.
