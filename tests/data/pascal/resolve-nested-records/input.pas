unit Nested;

interface

const
  StreetLen = 40;

type
  TAddress = record
    Street: String[StreetLen];
    Zip: array[1..5] of Char;
  end;

  TPhone = packed record
    Area: Word;
    Number: LongInt;
  end;

  TContact = record
    Home: TAddress;
    Phones: array[1..3] of TPhone;
  end;

  TEmpty = record end;

  TPerson = record
    Id: Integer;
    Contact: TContact;
    Nothing: TEmpty;
    Age: Byte;
  end;

implementation

end.
