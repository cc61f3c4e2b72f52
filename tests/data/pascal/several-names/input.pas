type
  TCustomer = record
    Id, Branch: SmallInt;
    First, Last, Middle: String[10];
    A,B , C: Byte;
    Total ,Paid: Double;
    Spare1, Spare2: Cardinal;
    Codes, Alt: array[1..4] of Char;
    Odd,: Word;
    Note: String[20];
  end;
  TLast = record X, Y: Integer; end;
