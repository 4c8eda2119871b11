-- Molvera server database (Microsoft SQL Server 2012 or later). Created by
-- "molvera --init-db" on an empty database, in one transaction; each batch
-- ends with a GO line. Date-times are datetime2(0), texts nvarchar.

CREATE TABLE mv_molvera (
    ID                 bigint IDENTITY(1,1) PRIMARY KEY,
    Fecha              datetime2(0) NOT NULL,
    responsable        nvarchar(100),
    fecha_alta         datetime2(0),
    fecha_modificacion datetime2(0),
    Toneladas          float,
    vendedor           nvarchar(100),
    procedencia        nvarchar(100),
    camionero          nvarchar(100),
    humedo             float,
    seco               float,
    caracteristicas    nvarchar(100),
    fallingnumber      float,
    humedad            float,
    pesohect           float,
    silodestino        nvarchar(4),
    observaciones      nvarchar(max)
);
GO

CREATE INDEX ix_mv_molvera_fecha ON mv_molvera (Fecha);
GO
CREATE INDEX ix_mv_molvera_silodestino ON mv_molvera (silodestino);
GO
CREATE INDEX ix_mv_molvera_vendedor ON mv_molvera (vendedor);
GO
CREATE INDEX ix_mv_molvera_procedencia ON mv_molvera (procedencia);
GO
CREATE INDEX ix_mv_molvera_camionero ON mv_molvera (camionero);
GO
CREATE INDEX ix_mv_molvera_caracteristicas ON mv_molvera (caracteristicas);
GO

-- A plain view over one table: SQL Server updates, inserts into and deletes
-- from it directly. It has no INSTEAD OF trigger, so that the id of a row
-- inserted through it is the identity of the table (OUTPUT INSERTED.ID INTO a
-- table variable: the table has triggers, so OUTPUT needs INTO).
CREATE VIEW v_mv_molvera AS
SELECT ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor,
       procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad,
       pesohect, silodestino, observaciones
FROM mv_molvera;
GO

-- Tonnes received per destination silo, kept by the trigger below in the
-- same transaction as the change of the intake rows. Kept in kilograms
-- (whole numbers) so that the figure never drifts from the sum of the rows;
-- "cargas" counts the rows with tonnes, so a silo without any reads NULL.
-- The kilograms are a 64-bit whole number: over the years a silo passes the
-- 2,147,483 tonnes that a 32-bit number of kilograms holds.
CREATE TABLE mv_molvera_silo_total (
    silodestino nvarchar(4) PRIMARY KEY,
    kilos       bigint NOT NULL DEFAULT 0,
    cargas      int NOT NULL DEFAULT 0
);
GO

-- One trigger for the three changes: the rows before the change (deleted)
-- are taken off their silos and the rows after it (inserted) put on theirs,
-- as one MERGE under a range lock, so that workstations writing at the same
-- time never lose a change.
CREATE TRIGGER tr_mv_molvera_total ON mv_molvera AFTER INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    IF EXISTS (SELECT 1 FROM inserted) AND EXISTS (SELECT 1 FROM deleted)
       AND NOT (UPDATE(Toneladas) OR UPDATE(silodestino))
        RETURN;
    MERGE mv_molvera_silo_total WITH (HOLDLOCK) AS t
    USING (
        SELECT c.silodestino, SUM(c.kilos) AS kilos, SUM(c.cargas) AS cargas,
               SUM(CASE WHEN c.cargas > 0 THEN 1 ELSE 0 END) AS altas
        FROM (
            SELECT silodestino,
                   -CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000, 0) AS bigint) AS kilos,
                   -1 AS cargas
            FROM deleted
            WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL
            UNION ALL
            SELECT silodestino,
                   CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000, 0) AS bigint) AS kilos,
                   1 AS cargas
            FROM inserted
            WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL
        ) AS c
        GROUP BY c.silodestino
    ) AS s
    ON t.silodestino = s.silodestino
    WHEN MATCHED THEN
        UPDATE SET kilos = t.kilos + s.kilos, cargas = t.cargas + s.cargas
    WHEN NOT MATCHED BY TARGET AND s.altas > 0 THEN
        INSERT (silodestino, kilos, cargas) VALUES (s.silodestino, s.kilos, s.cargas);
END;
GO

-- Totals of the rows already there when the table is made (none in a new
-- database).
INSERT INTO mv_molvera_silo_total (silodestino, kilos, cargas)
SELECT silodestino, SUM(CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000, 0) AS bigint)),
       COUNT(Toneladas)
FROM mv_molvera
WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL
GROUP BY silodestino;
GO

CREATE TABLE ta_deposito (
    iddeposito  nvarchar(4) PRIMARY KEY,
    descripcion nvarchar(50),
    capacidad   float
);
GO

CREATE VIEW v_ta_deposito AS
SELECT iddeposito, descripcion, capacidad FROM ta_deposito;
GO

CREATE TABLE ta_configuracion (
    CLAVE nvarchar(50) PRIMARY KEY,
    VALOR nvarchar(255)
);
GO

CREATE TABLE ta_usuarios (
    nombre  nvarchar(50) PRIMARY KEY,
    sistema nvarchar(50)
);
GO

CREATE TABLE ta_provincias (
    DESCRIPCION nvarchar(60) PRIMARY KEY
);
GO

-- Starter rows.
INSERT INTO ta_deposito (iddeposito, descripcion, capacidad) VALUES
    (N'0001', N'Silo 1', 500), (N'0002', N'Silo 2', 800), (N'0003', N'Silo 3', 1000),
    (N'0004', N'Silo 4', 1200), (N'0005', N'Silo 5', 1500), (N'0006', N'Celda 6', 2000);
GO

INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES (N'NOMBRE', N'Molino Harinero del Sur S.A.');
GO

INSERT INTO ta_usuarios (nombre, sistema) VALUES
    (N'ADMINISTRADOR', N'MOLVERA'), (N'OPERADOR', N'MOLVERA'), (N'LABORATORIO', N'MOLVERA');
GO

INSERT INTO ta_provincias (DESCRIPCION) VALUES
    (N'Buenos Aires'), (N'Catamarca'), (N'Chaco'), (N'Chubut'),
    (N'Ciudad Autónoma de Buenos Aires'), (N'Córdoba'), (N'Corrientes'), (N'Entre Ríos'),
    (N'Formosa'), (N'Jujuy'), (N'La Pampa'), (N'La Rioja'), (N'Mendoza'), (N'Misiones'),
    (N'Neuquén'), (N'Río Negro'), (N'Salta'), (N'San Juan'), (N'San Luis'), (N'Santa Cruz'),
    (N'Santa Fe'), (N'Santiago del Estero'), (N'Tierra del Fuego'), (N'Tucumán');
GO
