type
  TBounds = record
    One: array[