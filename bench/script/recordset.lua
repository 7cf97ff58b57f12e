-- A loop over a recordset object, as template code reads query results.
local Rs = {}
Rs.__index = Rs
function Rs.new(rows) return setmetatable({rows = rows, pos = 0}, Rs) end
function Rs:EOF() return self.pos >= self.rows end
function Rs:MoveNext() self.pos = self.pos + 1 end
function Rs:Item(name)
    local n = string.lower(name)
    if n == "id" then return self.pos + 1 end
    if n == "name" then return "Customer " .. string.char(65 + self.pos % 26) end
    if n == "amount" then return (self.pos % 1000) / 4.0 end
    error("no field " .. name)
end

local rs = Rs.new(300000)
local total, chars, n = 0, 0, 0
while not rs:EOF() do
    total = total + rs:Item("Amount")
    chars = chars + #rs:Item("Name")
    n = n + 1
    rs:MoveNext()
end
print(n, total, chars)
